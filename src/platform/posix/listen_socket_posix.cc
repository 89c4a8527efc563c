// Listening socket options on POSIX.
#include <sys/socket.h>

#include "platform/listen_socket.h"

namespace korva {

void setListeningSocketOptions(int socket) {
  int yes = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}  // namespace korva
