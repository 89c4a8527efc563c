// A report's file streamed into a download's answer.
#include "reportserver/serve/report_download.h"

#include <utility>

#include "reportserver/wire/wire_messages.h"

namespace korva {

namespace {

const char kNotSentWhole[] = "The answer was not sent whole.";

// Hands the file's line, then its bytes, to the answer.
class AnswerSink : public ReportFileSink {
 public:
  explicit AnswerSink(const BodySink& write) : write_(write) {}

  bool begin(const StoredFile& file) override {
    begun_ = true;
    const std::string line = wire::downloadFileLine(file);
    return write_(line.data(), line.size());
  }
  bool write(const void* data, size_t size) override {
    return write_(static_cast<const char*>(data), size);
  }
  bool begun() const { return begun_; }

 private:
  const BodySink& write_;
  bool begun_ = false;
};

}  // namespace

ReportDownload::ReportDownload(std::unique_ptr<SessionTable::Lease> lease, int32_t reportId)
    : lease_(std::move(lease)), reportId_(reportId), outcome_(StoreStatus::failed(kNotSentWhole)) {}

bool ReportDownload::send(const BodySink& write) {
  if (!lease_) return false;
  AnswerSink sink(write);
  outcome_ = lease_->store().readReportFile(reportId_, sink);
  lease_.reset();  // the session may serve its next request
  if (outcome_.ok()) return true;
  if (sink.begun()) return false;
  const std::string line = wire::downloadRefusalLine(outcome_);
  return write(line.data(), line.size());
}

std::string ReportDownload::result(bool sent) const {
  const bool brokeOff = outcome_.ok() && !sent;
  return ServiceReply::resultOf(200, brokeOff ? StoreStatus::failed(kNotSentWhole) : outcome_);
}

}  // namespace korva
