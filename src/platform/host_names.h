// The names this machine goes by, for a server certificate: the host name
// the system is set to and the resolver's canonical name for it (when they
// differ), in that order.
//
// POSIX only (the network server is).
//
// Thread-safety: gethostname and getaddrinfo are safe on any thread.
// Ownership: values only.
#ifndef KORVA_PLATFORM_HOST_NAMES_H_
#define KORVA_PLATFORM_HOST_NAMES_H_

#include <string>
#include <vector>

namespace korva {

// Empty when the system has no name set.
std::vector<std::string> localHostNames();

}  // namespace korva

#endif  // KORVA_PLATFORM_HOST_NAMES_H_
