// The in-process administration API of the embedded server, used by
// korvaserver and by tests: create a repository, and read a report's content
// back out (what one holds is shown by repository_views.h). APS names follow the logon's rules (a
// host name, lower-cased) and the home is the one logon uses (see server_home.h).
//
// Every function answers false with *error set (a full sentence) on failure.
// Thread-safety: each call opens its own connection.
#ifndef KORVA_REPORTSERVER_ADMIN_REPOSITORY_ADMIN_H_
#define KORVA_REPORTSERVER_ADMIN_REPOSITORY_ADMIN_H_

#include <cstdint>
#include <string>

namespace korva {

// Creates <home>/<name>.db with the desktop plugins and the account
// "Administrator" (with adminPassword; "" for none). Never overwrites: an
// existing repository is refused.
bool initRepository(const std::string& apsName, const std::string& adminPassword,
                    std::string* error);

// Writes the stored content of a report to a new file (for checks).
bool exportReportContent(const std::string& apsName, int32_t reportId, const std::string& destPath,
                         std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_REPOSITORY_ADMIN_H_
