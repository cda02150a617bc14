#include "platform/net/serial_transport.hpp"

#include <algorithm>

namespace plat {

bool SerialTransport::OpenLine(const std::string& device, std::string* error) {
  if (link_.IsOpen()) {
    if (device == device_) return true;
    if (error) *error = "the line is already open on " + device_;
    return false;
  }
  if (!link_.Open(device, baud_)) {
    if (error) *error = link_.Error();
    return false;
  }
  device_ = device;
  return true;
}

bool SerialTransport::Listen(const std::string& device, std::string* error) { return OpenLine(device, error); }

LinkId SerialTransport::Connect(const std::string& device) {
  if (!OpenLine(device, nullptr)) return 0;
  asked_ = nextId_++;
  if (current_ != 0 && !closed_) {
    // The far end is already there, taken so far as a link it opened: from
    // now on it is the link we asked for.
    events_.push_back({TransportEvent::Kind::Disconnected, current_, {}});
    current_ = asked_;
    asked_ = 0;
    events_.push_back({TransportEvent::Kind::Connected, current_, {}});
  }
  return asked_ ? asked_ : current_;
}

bool SerialTransport::Send(LinkId link, std::span<const uint8_t> data) {
  if (link == 0 || link != current_ || closed_) return false;
  return link_.Send(std::vector<uint8_t>(data.begin(), data.end()));
}

void SerialTransport::Close(LinkId link) {
  if (link == asked_) asked_ = 0;
  if (link != 0 && link == current_) closed_ = true;
}

void SerialTransport::Take(std::vector<LinkEvent>& events) {
  for (auto& e : events) {
    switch (e.kind) {
      case LinkEvent::Kind::Connected:
        closed_ = false;
        current_ = asked_ ? asked_ : nextId_++;
        asked_ = 0;
        events_.push_back({TransportEvent::Kind::Connected, current_, {}});
        break;
      case LinkEvent::Kind::Disconnected:
        if (current_ && !closed_) events_.push_back({TransportEvent::Kind::Disconnected, current_, {}});
        current_ = 0;
        closed_ = false;
        break;
      case LinkEvent::Kind::Message:
        if (current_ && !closed_) events_.push_back({TransportEvent::Kind::Received, current_, std::move(e.bytes)});
        break;
      case LinkEvent::Kind::Datagram: {
        std::lock_guard lock(queryMutex_);
        if (query_)
          if (auto answer = query_(e.bytes)) link_.SendDatagram(*answer);
        break;
      }
    }
  }
  events.clear();
}

std::optional<TransportEvent> SerialTransport::Poll() {
  if (events_.empty() && link_.IsOpen()) {
    std::vector<LinkEvent> got;
    link_.Service(0, got);
    Take(got);
  }
  if (events_.empty()) return std::nullopt;
  TransportEvent e = std::move(events_.front());
  events_.pop_front();
  return e;
}

void SerialTransport::Wait(uint32_t maxMs) {
  if (!events_.empty()) return;
  std::vector<LinkEvent> got;
  link_.Service(static_cast<int>(std::min<uint32_t>(maxMs, 1000)), got);
  Take(got);
}

uint64_t SerialTransport::NowMs() const { return MonotonicMs(); }

void SerialTransport::SetQueryHandler(QueryHandler handler) {
  std::lock_guard lock(queryMutex_);
  query_ = std::move(handler);
}

}  // namespace plat
