// A report's file as the store hands it out: what it is (name, size,
// digest), then its bytes in order, to a sink of the caller's (a file, an
// HTTP answer, a remote client's download). Neither side holds the whole
// file.
//
// Thread-safety: a sink is used by the one thread that reads the file.
#ifndef KORVA_REPORTSERVER_STORE_REPORT_FILE_SINK_H_
#define KORVA_REPORTSERVER_STORE_REPORT_FILE_SINK_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "reportserver/store/store_status.h"

namespace korva {

struct StoredFile {
  std::string name;  // base name, UTF-8
  int64_t size = 0;
  std::string sha256;  // lower-case hex
};

// The failure of a reading that the sink stopped.
inline StoreStatus reportFileStopped(int32_t reportId) {
  return StoreStatus::failed("The file of report " + std::to_string(reportId) +
                             " could not be handed on.");
}

class ReportFileSink {
 public:
  virtual ~ReportFileSink() = default;
  // Called once, before the bytes. False stops the reading.
  virtual bool begin(const StoredFile& file) = 0;
  // Called with the bytes in order (never more than 1 MiB at a time). False
  // stops the reading.
  virtual bool write(const void* data, size_t size) = 0;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_REPORT_FILE_SINK_H_
