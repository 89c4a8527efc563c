// Reading a download's answer.
#include "reportserver/remote/download_receiver.h"

#include <cstring>

#include "reportserver/wire/wire_messages.h"
#include "reportserver/wire/wire_protocol.h"

namespace korva {

DownloadReceiver::DownloadReceiver(int32_t reportId, const HttpsEndpoint& endpoint,
                                   ReportFileSink& sink)
    : reportId_(reportId), endpoint_(endpoint), sink_(sink) {}

StoreStatus DownloadReceiver::malformed(const std::string& what) const {
  return StoreStatus::failed("The report server's answer is malformed: " + what + ".");
}

bool DownloadReceiver::take(const char* data, size_t size) {
  if (verdict_) return false;  // nothing may follow a refusal
  if (!lineRead_) {
    const char* end = static_cast<const char*>(std::memchr(data, '\n', size));
    const size_t taken = end ? static_cast<size_t>(end - data) + 1 : size;
    line_.append(data, taken);
    if (line_.size() > wire::kMaxDownloadLine) {
      verdict_ = malformed("its first line is longer than " +
                           std::to_string(wire::kMaxDownloadLine) + " bytes");
      return false;
    }
    if (!end) return true;
    lineRead_ = true;
    const StoreStatus line = wire::readDownloadLine(line_, &file_);
    if (!line.ok()) {
      verdict_ = line;
      return size == taken;
    }
    if (!sink_.begin(file_)) {
      verdict_ = reportFileStopped(reportId_);
      return false;
    }
    data += taken;
    size -= taken;
  }
  if (size == 0) return true;
  if (static_cast<uint64_t>(size) > static_cast<uint64_t>(file_.size - received_)) {
    verdict_ = malformed("the file has more bytes than its size");
    return false;
  }
  received_ += static_cast<int64_t>(size);
  digest_.update(data, size);
  if (!sink_.write(data, size)) {
    verdict_ = reportFileStopped(reportId_);
    return false;
  }
  return true;
}

StoreStatus DownloadReceiver::finish(const StoreStatus& exchanged, const std::string& otherBody) {
  if (verdict_) return *verdict_;
  if (!exchanged.ok()) return exchanged;
  if (!lineRead_ && !otherBody.empty()) return wire::readErrorAnswer(otherBody);
  if (!lineRead_ || received_ < file_.size) {
    return StoreStatus::failed(httpsError(HttpsFailure::BrokenOff, endpoint_).text);
  }
  const std::string digest = digest_.finishHex();
  if (digest.empty()) {
    return StoreStatus::failed("The file of report " + std::to_string(reportId_) +
                               " could not be checked: no SHA-256 digest could be made.");
  }
  if (digest != file_.sha256) return malformed("the file's bytes do not match its SHA-256");
  return StoreStatus::success();
}

}  // namespace korva
