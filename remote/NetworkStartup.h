#pragma once

// The system's network layer, started for as long as the process uses sockets: Winsock on
// Windows is started once (WSAStartup) by the first socket made and cleaned up when the process
// ends. Elsewhere there is nothing to start.
class NetworkStartup {
 public:
  // Starts the network layer on the first call; true when it is up.
  static bool ensure();

  ~NetworkStartup();
  NetworkStartup(const NetworkStartup&) = delete;
  NetworkStartup& operator=(const NetworkStartup&) = delete;

 private:
  NetworkStartup();
  bool started_ = false;
};
