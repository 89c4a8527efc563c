// Creating repositories, and opening one for the read-only views.
#include "reportserver/repository_admin.h"

#include <filesystem>
#include <system_error>

#include "reportserver/password_hash.h"
#include "reportserver/report_content.h"
#include "reportserver/repository.h"
#include "reportserver/repository_access.h"
#include "reportserver/server_home.h"

namespace korva {

bool openNamedRepository(const std::string& apsName, Database* db, std::string* normalName,
                         std::string* error) {
  std::string path;
  if (!repositoryLocation(apsName, normalName, &path, error)) return false;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    if (error) {
      *error = "There is no repository for APS \"" + *normalName + "\" (" + path +
               "); create it with \"korvaserver init -apsname " + *normalName + "\".";
    }
    return false;
  }
  return openRepository(path, db, error);
}

bool initRepository(const std::string& apsName, const std::string& adminPassword,
                    std::string* error) {
  std::string name, path;
  if (!repositoryLocation(apsName, &name, &path, error)) return false;
  std::string record;
  if (!adminPassword.empty() && !hashPassword(adminPassword, &record)) {
    if (error) *error = "The Administrator's password could not be hashed.";
    return false;
  }
  return createRepository(path, name, record, error);
}

bool exportReportContent(const std::string& apsName, int32_t reportId, const std::string& destPath,
                         std::string* error) {
  Database db;
  std::string name;
  if (!openNamedRepository(apsName, &db, &name, error)) return false;
  return exportReportFile(db, reportId, destPath, error);
}

}  // namespace korva
