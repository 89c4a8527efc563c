// Status numbers answered by the engine's operations, and the levels and
// contexts that start every action log line.
#ifndef KORVA_COMMON_STATUS_H_
#define KORVA_COMMON_STATUS_H_

enum Status : int {
  kStatusOk = 200,
  kStatusLogical = 202,        // report server client: object missing or present, bad count...
  kStatusOutOfMemory = 203,    // out of memory, or an exception was caught
  kStatusSystem = 204,         // a system or library function failed
  kStatusServer = 600,         // a report server operation failed; detail text logged
  kStatusParse = 1031,         // the parser rejected the instructions file
};


#define KORVA_ERROR "--- ERROR --- "
#define KORVA_WARN "--- WARN  --- "
#define KORVA_INFO "--- INFO  --- "
#define KORVA_CTX_ACTION "(action): "
#define KORVA_CTX_PUBLISH "(publish): "
#define KORVA_CTX_CONFIG "(config): "

#endif  // KORVA_COMMON_STATUS_H_
