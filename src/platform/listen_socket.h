// The options of a server's listening socket: its address may be bound again
// at once after a restart (while connections of the last run wait out their
// time), but never by a second listener while the first one listens.
//
// POSIX only (the network server is): SO_REUSEADDR, and not SO_REUSEPORT,
// which would let a second server share the port.
//
// Thread-safety: touches only the socket given.
#ifndef KORVA_PLATFORM_LISTEN_SOCKET_H_
#define KORVA_PLATFORM_LISTEN_SOCKET_H_

namespace korva {

void setListeningSocketOptions(int socket);

}  // namespace korva

#endif  // KORVA_PLATFORM_LISTEN_SOCKET_H_
