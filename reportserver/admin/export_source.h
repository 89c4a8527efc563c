// Where an export reads from: a snapshot of the repository and its reports'
// files. Either the repository of an APS in the local server home, read
// whole (as korvaserver's other views read it, with no logon), or a logon's
// session, local or remote (store_session.h), as far as its user may see.
//
// Thread-safety: one thread at a time.
// Ownership: a source owns its connection or session.
#ifndef KORVA_REPORTSERVER_ADMIN_EXPORT_SOURCE_H_
#define KORVA_REPORTSERVER_ADMIN_EXPORT_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "reportserver/store/report_file_sink.h"
#include "reportserver/store/store_records.h"
#include "reportserver/store/store_session.h"

namespace korva {

class ExportSource {
 public:
  virtual ~ExportSource() = default;
  // Each answers false with *error (a full sentence) on failure.
  virtual bool snapshot(RepositorySnapshot* out, std::string* error) = 0;
  // Hands the report's file to the sink (report_file_sink.h).
  virtual bool readReportFile(int32_t reportId, ReportFileSink& sink, std::string* error) = 0;
};

// The whole repository of the APS in the local server home.
bool openLocalExportSource(const std::string& apsName, std::unique_ptr<ExportSource>* out,
                           std::string* error);

// What the user logged on with the request may see.
bool logOnExportSource(const LogonRequest& request, std::unique_ptr<ExportSource>* out,
                       std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_EXPORT_SOURCE_H_
