// korvaserver export: a repository's folders, reports, users and rights as
// a publish instructions file and a tree of report files, which korvapush
// publishes to another server:
//   korvaserver export -apsname APS [-user U -password P] [-folder 'A\B'] -out DIR
// Without -user the local repository is read whole; with it, through a
// logon (to a local repository or a remote server), as far as that user may
// see.
//
// Thread-safety: one export at a time.
#ifndef KORVA_REPORTSERVER_ADMIN_EXPORT_COMMAND_H_
#define KORVA_REPORTSERVER_ADMIN_EXPORT_COMMAND_H_

#include <string>
#include <vector>

namespace korva {

struct ExportSettings {
  std::string apsName;
  bool logOn = false;  // through a logon as user, with password
  std::string user;
  std::string password;
  std::string folderPath;  // "" for the whole tree
  std::string outDir;
};

// Runs the export. *lines receives what it has to say, UTF-8: a line
// "Warning: ..." for everything the instructions file cannot say, then the
// summary. False with *error (full sentences) when nothing was exported.
bool runExport(const ExportSettings& settings, std::vector<std::string>* lines, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_EXPORT_COMMAND_H_
