// Creating repositories, and reading a report's content back out.
#include "reportserver/admin/repository_admin.h"

#include "reportserver/store/named_repository.h"
#include "reportserver/store/password_hash.h"
#include "reportserver/store/report_content.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/server_home.h"

namespace korva {

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
