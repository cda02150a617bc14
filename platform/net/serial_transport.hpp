#pragma once
// The session's transport over a serial cable: at most one link, to the
// machine at the other end of the line. The address is the device's path.
#include <deque>
#include <mutex>
#include <string>

#include "platform/net/query_hook.hpp"
#include "platform/net/serial_link.hpp"
#include "platform/net/transport.hpp"

namespace plat {

class SerialTransport final : public Transport, public AnswersQueries {
 public:
  explicit SerialTransport(int baud = 57600) : baud_(baud) {}

  // Opens the line and takes the far end as an incoming link once it answers.
  bool Listen(const std::string& device, std::string* error) override;
  std::string LocalAddress() const override { return link_.IsOpen() ? device_ : std::string(); }
  // Opens the line (unless Listen did) and gives the far end this link's id.
  LinkId Connect(const std::string& device) override;
  bool Send(LinkId link, std::span<const uint8_t> data) override;
  void Close(LinkId link) override;
  std::optional<TransportEvent> Poll() override;
  void Wait(uint32_t maxMs) override;
  void Wake() override { link_.Wake(); }
  uint64_t NowMs() const override;
  size_t MaxMessageSize() const override { return SerialLink::kMaxMessage; }

  void SetQueryHandler(QueryHandler handler) override;

 private:
  bool OpenLine(const std::string& device, std::string* error);
  void Take(std::vector<LinkEvent>& events);

  int baud_;
  SerialLink link_;
  std::string device_;
  LinkId nextId_ = 1;
  LinkId asked_ = 0;    // the link Connect promised, until the far end answers
  LinkId current_ = 0;  // the far end's link while it is up
  bool closed_ = false;  // we closed current_: ignore the far end until it restarts
  std::deque<TransportEvent> events_;
  std::mutex queryMutex_;
  QueryHandler query_;
};

}  // namespace plat
