// The options of a server's listening socket: its address may be bound again
// at once after a restart (while connections of the last run wait out their
// time), but never by a second listener while the first one listens.
//
// POSIX only (the network server is): SO_REUSEADDR, and not SO_REUSEPORT,
// which would let a second server share the port.
//
// And what a connection has received acknowledged at once: a client that
// writes a request's head and body apart (WinHTTP does) has its body held
// back by Nagle's rule until the head is acknowledged, which the system
// otherwise delays (by 40 ms on Linux) in the hope of an answer to carry it.
//
// Thread-safety: touches only the socket given.
#ifndef KORVA_PLATFORM_LISTEN_SOCKET_H_
#define KORVA_PLATFORM_LISTEN_SOCKET_H_

namespace korva {

void setListeningSocketOptions(int socket);

// Sends the acknowledgement of what the connected socket received now, if
// one is waiting, where the system can be asked to.
void acknowledgeAtOnce(int socket);

}  // namespace korva

#endif  // KORVA_PLATFORM_LISTEN_SOCKET_H_
