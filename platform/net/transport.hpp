#pragma once
// The small interface the session protocol runs on: numbered links to other
// nodes, each reliable and ordered, and a wait that another thread can cut
// short. The session's network thread owns a transport; the only call made
// from any other thread is Wake.
//
// Addresses are text whose meaning is the implementation's own:
// "127.0.0.1:27015" for ENet, a device path for the serial link, a node name
// for the in-memory LoopTransport.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace plat {

// 0 never names a link.
using LinkId = uint32_t;

struct TransportEvent {
  enum class Kind {
    Connected,     // a link we asked for is up, or a peer connected to us
    Disconnected,  // the link is gone (closed by either side, refused, or timed out); it is never reused
    Received,      // one whole message sent on the link, in the order sent
  };
  Kind kind = Kind::Received;
  LinkId link = 0;
  std::vector<uint8_t> data;  // Received only
};

class Transport {
 public:
  virtual ~Transport() = default;

  // Starts accepting links on address. At most one listening address per
  // transport; false, with a reason in *error, when it cannot (in use,
  // invalid, no such device).
  virtual bool Listen(const std::string& address, std::string* error) = 0;
  // The address others reach this node on, once Listen succeeded (the port
  // actually bound when "host:0" was asked for); empty otherwise.
  virtual std::string LocalAddress() const = 0;

  // Begins a link to address. Its outcome comes later as Connected or
  // Disconnected with this id; 0 when it cannot even start (an invalid
  // address).
  virtual LinkId Connect(const std::string& address) = 0;

  // Queues one message on the link, reliable and ordered with the link's
  // other messages. False when the link is unknown or gone, or the message is
  // larger than MaxMessageSize.
  virtual bool Send(LinkId link, std::span<const uint8_t> data) = 0;
  // Ends a link after what was queued on it has gone out as far as the
  // implementation can tell; the other side gets Disconnected. No event
  // comes back for it here.
  virtual void Close(LinkId link) = 0;

  // The next event, without waiting; also pushes out what Send queued.
  virtual std::optional<TransportEvent> Poll() = 0;
  // Blocks until an event may be waiting, Wake is called, or maxMs of this
  // transport's clock have passed (a real-time deadline bounds it in every
  // implementation). Never spins.
  virtual void Wait(uint32_t maxMs) = 0;
  // Cuts a Wait short; safe from any thread.
  virtual void Wake() = 0;

  // The clock the session's time-outs run on: the monotonic clock for real
  // transports, the test's clock for LoopTransport. Milliseconds.
  virtual uint64_t NowMs() const = 0;

  virtual size_t MaxMessageSize() const { return 64 * 1024; }

  // The far end of a link as this node sees it ("ip:port"), where the
  // transport knows one; empty otherwise. A member that listens on every
  // interface only knows itself as 0.0.0.0: the host learns its real address
  // from here, so that the others can reach it after a host change.
  virtual std::string PeerAddress(LinkId /*link*/) const { return {}; }
};

}  // namespace plat
