// The two sources of an export (see export_source.h).
#include "reportserver/admin/export_source.h"

#include <optional>
#include <utility>

#include "reportserver/store/named_repository.h"
#include "reportserver/store/report_content.h"
#include "reportserver/store/repository_snapshot.h"

namespace korva {
namespace {

class LocalRepositorySource : public ExportSource {
 public:
  bool open(const std::string& apsName, std::string* error) {
    std::string name;
    return openNamedRepository(apsName, &db_, &name, error);
  }

  bool snapshot(RepositorySnapshot* out, std::string* error) override {
    return readRepositorySnapshot(db_, std::nullopt, out, error);
  }

  bool readReportFile(int32_t reportId, ReportFileSink& sink, std::string* error) override {
    Transaction tx(db_);  // read only, so that name, size and bytes agree
    std::string message;
    if (!tx.begin(&message)) {
      *error = "Cannot read the repository: " + message + ".";
      return false;
    }
    switch (korva::readReportFile(db_, reportId, sink, error)) {
      case ReportFileRead::Done:
        return true;
      case ReportFileRead::NoFile:
        *error = "There is no report " + std::to_string(reportId) + " with a file.";
        return false;
      case ReportFileRead::Stopped:
        *error = "The file of report " + std::to_string(reportId) + " could not be handed on.";
        return false;
      case ReportFileRead::Failed:
        break;
    }
    return false;
  }

 private:
  Database db_;
};

class SessionSource : public ExportSource {
 public:
  explicit SessionSource(StoreSessionPtr session) : session_(std::move(session)) {}

  bool snapshot(RepositorySnapshot* out, std::string* error) override {
    return answer(session_->snapshot(out), error);
  }

  bool readReportFile(int32_t reportId, ReportFileSink& sink, std::string* error) override {
    return answer(session_->readReportFile(reportId, sink), error);
  }

 private:
  static bool answer(const StoreStatus& status, std::string* error) {
    if (!status.ok()) *error = status.description;
    return status.ok();
  }

  StoreSessionPtr session_;
};

}  // namespace

bool openLocalExportSource(const std::string& apsName, std::unique_ptr<ExportSource>* out,
                           std::string* error) {
  auto source = std::make_unique<LocalRepositorySource>();
  if (!source->open(apsName, error)) return false;
  *out = std::move(source);
  return true;
}

bool logOnExportSource(const LogonRequest& request, std::unique_ptr<ExportSource>* out,
                       std::string* error) {
  StoreSessionPtr session;
  const StoreStatus status = logOnToStore(request, &session);
  if (!status.ok()) {
    *error = status.description;
    return false;
  }
  *out = std::make_unique<SessionSource>(std::move(session));
  return true;
}

}  // namespace korva
