// What an export of a repository's content writes, worked out from one
// snapshot before anything is written: the directories of the tree (one per
// folder), the report files (one per report, named by the file the report
// holds), the publish instructions file that makes a publish give the
// folders, reports and users back, and a warning for everything that file
// cannot say.
//
// A publish takes a folder's title from its directory's name, and every
// other property from the instructions file by name: folder entries by the
// directory's name and report entries by the file's base name, each across
// the whole tree; users with one right each, which it grants on every
// top-level folder. So:
//   - a folder is exported as a directory of its title, made safe
//     (export_names.h) and told apart from the other names beside it by a
//     number; both change the title it is published with;
//   - a report is exported as its file's name (".rpt" added when it has no
//     such extension), made safe and told apart from the names beside it and
//     from other reports' entries of the same base name; its title,
//     description and icon stand in its entry;
//   - folders of one name share one entry, that of the first;
//   - a user gets its right on the first top-level folder it has one on;
//     rights elsewhere are not said;
//   - the Administrator (every repository has its own) and passwords are
//     never exported.
// Objects are taken parents first, each folder's content in id order.
//
// Thread-safety: pure functions of their arguments.
#ifndef KORVA_REPORTSERVER_ADMIN_EXPORT_PLAN_H_
#define KORVA_REPORTSERVER_ADMIN_EXPORT_PLAN_H_

#include <cstdint>
#include <string>
#include <vector>

#include "reportserver/store/store_records.h"

namespace korva {

// A directory or a file of the tree: its names under "reports", UTF-8.
using ExportPath = std::vector<std::string>;

struct ExportFile {
  ExportPath path;
  int32_t reportId = 0;
  std::string report;  // as messages name it: "Finance\Q1 Summary"
  int64_t size = 0;
  std::string sha256;
};

struct ExportPlan {
  std::vector<ExportPath> directories;  // parents first
  std::vector<ExportFile> files;
  std::string instructions;           // publish.xml, UTF-8
  std::vector<std::string> warnings;  // full sentences, UTF-8
  int folders = 0;
  int reports = 0;
  int users = 0;
};

// Plans the export of the whole tree (folderPath empty), or of the folder at
// folderPath (titles from the top with "\" between them: "Finance\Archive")
// with everything in it; that folder then stands at the top. False with
// *error when there is no such folder.
bool planExport(const RepositorySnapshot& s, const std::string& folderPath, ExportPlan* plan,
                std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_EXPORT_PLAN_H_
