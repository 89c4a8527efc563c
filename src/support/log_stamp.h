// The time stamp that opens a log line, the same for the action log and the
// report server's request log: 24 characters of local time with fixed
// English day and month names, e.g. "Tue Jan 14 10:02:33 2003".
//
// Thread-safety: safe on any thread (the C library's shared local-time
// result is read under a lock).
// Ownership: values only.
#ifndef KORVA_SUPPORT_LOG_STAMP_H_
#define KORVA_SUPPORT_LOG_STAMP_H_

#include <ctime>
#include <string>

std::string logTimeStamp(std::time_t when);

#endif  // KORVA_SUPPORT_LOG_STAMP_H_
