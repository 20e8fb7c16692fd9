#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <optional>

#include "remote/TcpServer.h"

class LocalVCR;

// The session server: one remote client at a time sends lines of the command language and gets one
// reply line for each. Lines run on the operator worker as a script's lines do, one at a time: a
// "Wait" or a "Review" holds this session's next line and nothing else. A transport word takes
// over a running script, review or RevALL, as the window's transport buttons do.
class RemotePort : public TcpServer {
 public:
  RemotePort(LocalVCR& vcr, int port, AddressFilter filter, Log log);
  ~RemotePort() override;

 private:
  void onConnect(ClientId id) override;
  void onLine(ClientId id, const LineReader::Line& line) override;
  void onTick() override;
  void onDisconnect(ClientId id) override;
  void onInputEnded(ClientId id) override;
  bool readyForLine(ClientId) const override { return !pending_.has_value(); }

  LocalVCR& vcr_;
  ClientId client_ = 0;  // the one client
  // The reply of the line running on the worker; a reply the worker never gives (the action was
  // dropped by a takeover or at close) comes out as a broken promise.
  std::optional<std::future<std::string>> pending_;
  // Set when the client goes: its queued lines do not run and its wait ends.
  std::shared_ptr<std::atomic<bool>> gone_ = std::make_shared<std::atomic<bool>>(false);
};
