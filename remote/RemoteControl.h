#pragma once

#include <memory>

#include "remote/TcpServer.h"

class LocalVCR;
class RemotePort;
class HyperDeckPort;

// The remote servers the settings ask for: the session server on RemotePort and the HyperDeck
// server on HyperDeckPort (HyperDeckClients clients at once), each only when its port is set,
// both on the loopback addresses and open to the RemoteAllow networks. Made after the deck
// controller has started; stop() (or the destructor) ends them before the controller closes.
class RemoteControl {
 public:
  RemoteControl(LocalVCR& vcr, int remotePort, int hyperDeckPort, int hyperDeckClients,
                const std::string& allow, TcpServer::Log log);
  ~RemoteControl();
  RemoteControl(const RemoteControl&) = delete;
  RemoteControl& operator=(const RemoteControl&) = delete;

  void stop();
  // The ports actually listened on; 0 when that server does not run.
  int remotePort() const;
  int hyperDeckPort() const;

 private:
  std::unique_ptr<RemotePort> session_;
  std::unique_ptr<HyperDeckPort> hyperdeck_;
};
