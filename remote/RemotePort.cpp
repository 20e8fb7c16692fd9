#include "remote/RemotePort.h"

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "remote/SessionProtocol.h"

RemotePort::RemotePort(LocalVCR& vcr, int port, AddressFilter filter, Log log)
    : TcpServer("Remote session", port, std::move(filter), SessionProtocol::kBusy, 1,
                std::move(log)),
      vcr_(vcr) {}

RemotePort::~RemotePort() {
  stop();  // the thread ends before the members it uses
}

void RemotePort::onConnect(ClientId id) {
  client_ = id;
  gone_ = std::make_shared<std::atomic<bool>>(false);
  vcr_.ShowStat("Remote client " + peer(id) + " connected");
}

void RemotePort::onInputEnded(ClientId) {
  gone_->store(true);
}

void RemotePort::onDisconnect(ClientId) {
  gone_->store(true);
  pending_.reset();
}

void RemotePort::onLine(ClientId id, const LineReader::Line& line) {
  if (line.oversize) {
    send(id, SessionProtocol::error(SessionProtocol::kTooLong));
    return;
  }
  const auto request = SessionProtocol::parse(line.text, ControllerApp::getlx1());
  switch (request.kind) {
    case SessionProtocol::Kind::Error:
      send(id, SessionProtocol::error(request.error));
      return;
    case SessionProtocol::Kind::GetTC:
      // Reports change nothing, so they answer at once, even while the worker is busy.
      send(id, SessionProtocol::text(vcr_.tcText()));
      return;
    case SessionProtocol::Kind::Status: {
      std::string status = vcr_.getStatusString();
      while (!status.empty() && status.back() == ' ') {
        status.pop_back();
      }
      send(id, SessionProtocol::text(status));
      return;
    }
    case SessionProtocol::Kind::Command:
      break;
  }
  auto reply = std::make_shared<std::promise<std::string>>();
  pending_ = reply->get_future();
  auto action = [&vcr = vcr_, text = line.text, reply, gone = gone_, waker = waker()] {
    if (gone->load()) {
      reply->set_value({});
      return;
    }
    const auto outcome = vcr.RunNetCommand(text, gone.get());
    using R = LocalVCR::NetOutcome::Result;
    reply->set_value(outcome.result == R::Ran      ? SessionProtocol::ok()
                     : outcome.result == R::Failed ? SessionProtocol::error(outcome.reason)
                                                   : SessionProtocol::error("unknown command"));
    waker->wake();
  };
  switch (request.command->kind) {
    case CommandClass::Transport:
      vcr_.takeover(std::move(action));
      break;
    case CommandClass::Run:
      vcr_.postRun(std::move(action));
      break;
    case CommandClass::Plain:
      vcr_.post(std::move(action));
      break;
  }
}

void RemotePort::onTick() {
  if (!pending_ || pending_->wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    return;
  }
  std::string reply;
  try {
    reply = pending_->get();
  } catch (const std::future_error&) {
    reply = SessionProtocol::error("not run: the operator took over");
  }
  pending_.reset();
  send(client_, reply);
}
