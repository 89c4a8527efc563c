// A download's answer as the remote store reads it (wire_protocol.h): its
// first line, then the file's bytes, handed on to the caller's sink as they
// arrive, counted and digested. Once the transfer ended the answer is
// judged: the file came whole (as many bytes as its line says, with its
// SHA-256), the store refused, the answer was malformed, or it was cut
// short, which fails the reading as a server that broke off.
//
// Thread-safety: used by the one thread that downloads.
// Ownership: the caller's sink is only used, and must outlive the receiver.
#ifndef KORVA_REPORTSERVER_REMOTE_DOWNLOAD_RECEIVER_H_
#define KORVA_REPORTSERVER_REMOTE_DOWNLOAD_RECEIVER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/content_digest.h"
#include "platform/https_client.h"
#include "reportserver/store/report_file_sink.h"
#include "reportserver/store/store_status.h"

namespace korva {

class DownloadReceiver {
 public:
  DownloadReceiver(int32_t reportId, const HttpsEndpoint& endpoint, ReportFileSink& sink);

  // Takes the answer's next bytes; false stops the transfer (the sink said
  // stop, or the answer cannot be right any more).
  bool take(const char* data, size_t size);

  // The reading's outcome. exchanged: the transfer's, a failure of the
  // transport or success with otherBody, the body of an answer whose status
  // kept it from the receiver (the transport's refusal).
  StoreStatus finish(const StoreStatus& exchanged, const std::string& otherBody);

 private:
  StoreStatus malformed(const std::string& what) const;

  const int32_t reportId_;
  const HttpsEndpoint endpoint_;
  ReportFileSink& sink_;
  std::string line_;  // the first line, while it comes
  bool lineRead_ = false;
  StoredFile file_;  // what the line announced
  int64_t received_ = 0;
  Sha256Digest digest_;
  std::optional<StoreStatus> verdict_;  // decided before the transfer ended
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_REMOTE_DOWNLOAD_RECEIVER_H_
