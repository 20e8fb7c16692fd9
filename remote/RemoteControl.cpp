#include "remote/RemoteControl.h"

#include "remote/HyperDeckPort.h"
#include "remote/RemotePort.h"

RemoteControl::RemoteControl(LocalVCR& vcr, int remotePort, int hyperDeckPort, int hyperDeckClients,
                             const std::string& allow, TcpServer::Log log) {
  if (remotePort <= 0 && hyperDeckPort <= 0) {
    return;
  }
  std::string bad;
  auto filter = AddressFilter::parse(allow, bad);
  if (!filter) {
    // A list that cannot be read opens nothing beyond the loopback addresses.
    log("RemoteAllow: \"" + bad +
        "\" is not a network (a.b.c.d/n or an IPv6 address/n); only 127.0.0.1 and ::1 may connect");
    filter = AddressFilter::parse("", bad);
  }
  if (remotePort > 0) {
    session_ = std::make_unique<RemotePort>(vcr, remotePort, *filter, log);
    if (!session_->start()) {
      session_.reset();
    }
  }
  if (hyperDeckPort > 0) {
    hyperdeck_ =
        std::make_unique<HyperDeckPort>(vcr, hyperDeckPort, *filter, log, hyperDeckClients);
    if (!hyperdeck_->start()) {
      hyperdeck_.reset();
    }
  }
}

RemoteControl::~RemoteControl() {
  stop();
}

void RemoteControl::stop() {
  if (session_) {
    session_->stop();
  }
  if (hyperdeck_) {
    hyperdeck_->stop();
  }
}

int RemoteControl::remotePort() const {
  return session_ ? session_->port() : 0;
}

int RemoteControl::hyperDeckPort() const {
  return hyperdeck_ ? hyperdeck_->port() : 0;
}
