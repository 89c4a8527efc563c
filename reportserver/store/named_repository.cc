// Finding and opening an APS's repository in the server home.
#include "reportserver/store/named_repository.h"

#include <filesystem>
#include <system_error>

#include "reportserver/store/repository.h"
#include "reportserver/store/server_home.h"

namespace korva {

bool hasNamedRepository(const std::string& apsName) {
  std::string name, path;
  std::error_code ec;
  return repositoryLocation(apsName, &name, &path, nullptr) && std::filesystem::exists(path, ec);
}

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

}  // namespace korva
