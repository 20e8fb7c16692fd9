#include "remote/NetworkStartup.h"

#ifdef _WIN32
#include <winsock2.h>
#endif

NetworkStartup::NetworkStartup() {
#ifdef _WIN32
  WSADATA data;
  started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
#else
  started_ = true;
#endif
}

NetworkStartup::~NetworkStartup() {
#ifdef _WIN32
  if (started_) {
    ::WSACleanup();
  }
#endif
}

bool NetworkStartup::ensure() {
  // One owner for the process, made on first use (thread-safe) and ended after main returns,
  // when the servers and their sockets are long gone.
  static const NetworkStartup owner;
  return owner.started_;
}
