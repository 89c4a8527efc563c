// korvaserver export: read, plan, write, and say what was done (see
// export_command.h).
#include "reportserver/admin/export_command.h"

#include <memory>

#include "platform/file_name_utf8.h"
#include "reportserver/admin/export_plan.h"
#include "reportserver/admin/export_source.h"
#include "reportserver/admin/export_writer.h"

namespace korva {

bool runExport(const ExportSettings& settings, std::vector<std::string>* lines,
               std::string* error) {
  std::unique_ptr<ExportSource> source;
  const bool opened =
      settings.logOn
          ? logOnExportSource({settings.user, settings.password, settings.apsName, "secEnterprise"},
                              &source, error)
          : openLocalExportSource(settings.apsName, &source, error);
  RepositorySnapshot snapshot;
  ExportPlan plan;
  if (!opened || !source->snapshot(&snapshot, error) ||
      !planExport(snapshot, settings.folderPath, &plan, error)) {
    return false;
  }
  if (!writeExport(plan, *source, settings.outDir, error)) {
    *error += " Nothing was exported.";
    return false;
  }
  for (const std::string& warning : plan.warnings) lines->push_back("Warning: " + warning);
  const std::string what = settings.folderPath.empty() ? "of APS \"" + snapshot.aps + "\""
                                                       : "of the folder \"" + settings.folderPath +
                                                             "\" on APS \"" + snapshot.aps + "\"";
  std::string out;
  if (!fileNameAsUtf8(settings.outDir, &out)) out = settings.outDir;
  lines->push_back("Exported " + std::to_string(plan.folders) + " folders, " +
                   std::to_string(plan.reports) + " reports and " + std::to_string(plan.users) +
                   " users " + what + " to \"" + out + "\".");
  return true;
}

}  // namespace korva
