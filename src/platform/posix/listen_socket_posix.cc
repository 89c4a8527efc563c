// Listening socket options on POSIX.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "platform/listen_socket.h"

namespace korva {

void setListeningSocketOptions(int socket) {
  int yes = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

void acknowledgeAtOnce(int socket) {
#ifdef TCP_QUICKACK
  // Leaves the delayed mode for now and sends a pending acknowledgement.
  int yes = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &yes, sizeof yes);
#else
  (void)socket;
#endif
}

}  // namespace korva
