// `korvaserver serve` where the network server is not built (Windows).
#include "reportserver/admin/serve_command.h"

namespace korva {

bool serveUntilStopped(const ServeSettings&, std::string* error) {
  *error = "korvaserver serve is not available on this system; run it on a POSIX host.";
  return false;
}

}  // namespace korva
