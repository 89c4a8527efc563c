// The machine's names on POSIX: gethostname, then the canonical name the
// resolver (through the net service) gives for it.
#include <unistd.h>

#include "platform/host_names.h"
#include "platform/net.h"

namespace korva {

std::vector<std::string> localHostNames() {
  std::vector<std::string> names;
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return names;
  names.push_back(buffer);
  std::string canonical;
  if (officialHostName(buffer, &canonical) && !canonical.empty() && canonical != names[0]) {
    names.push_back(canonical);
  }
  return names;
}

}  // namespace korva
