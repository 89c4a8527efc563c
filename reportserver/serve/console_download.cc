// Report file downloads from the console.
#include "reportserver/serve/console_download.h"

#include <httplib.h>

#include <cstdio>
#include <utility>

namespace korva {

namespace {

// Writes the stored bytes to the answer as they come.
class AnswerSink : public ReportFileSink {
 public:
  AnswerSink(httplib::DataSink& out, int64_t size) : out_(out), size_(size) {}
  bool begin(const StoredFile& file) override { return file.size == size_; }
  bool write(const void* data, size_t size) override {
    return out_.write(static_cast<const char*>(data), size);
  }

 private:
  httplib::DataSink& out_;
  const int64_t size_;
};

}  // namespace

std::string attachmentDisposition(const std::string& fileName) {
  // A plain ASCII name for old browsers, the UTF-8 name percent-encoded.
  std::string plain, encoded;
  for (unsigned char c : fileName) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '-' || c == '_';
    plain += c >= 0x20 && c < 0x7f && c != '"' && c != '\\' ? static_cast<char>(c) : '_';
    if (safe) {
      encoded += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      encoded += hex;
    }
  }
  return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" + encoded;
}

void answerReportFile(std::shared_ptr<SessionTable::Lease> lease, const ObjectRecord& report,
                      httplib::Response& res) {
  res.set_header("Content-Disposition", attachmentDisposition(report.fileName));
  const int32_t id = report.id;
  const int64_t size = report.fileSize;
  res.set_content_provider(
      static_cast<size_t>(size), "application/octet-stream",
      [lease = std::move(lease), id, size](size_t offset, size_t, httplib::DataSink& out) {
        if (offset != 0) return false;  // the whole file goes in the first call
        AnswerSink sink(out, size);
        return lease->store().readReportFile(id, sink).ok();
      });
}

}  // namespace korva
