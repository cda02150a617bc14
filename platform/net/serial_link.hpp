#pragma once
// A serial-cable link between two machines: guaranteed messages in order over
// a line that may garble or drop bytes. Messages are cut into numbered frames
// (serial_frame.hpp), each resent until the far end acknowledges it; a frame
// that fails its CRC is simply never acknowledged. Hello frames every second
// keep the link alive and tell a restarted far end from the old one.
//
// One thread services the link (the network thread that owns it); only Wake
// may be called from another.
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/net/serial_frame.hpp"
#include "platform/net/wake_event.hpp"

namespace plat {

struct LinkEvent {
  enum class Kind { Connected, Disconnected, Message, Datagram } kind = Kind::Message;
  std::vector<uint8_t> bytes;
};

class SerialLink {
 public:
  static constexpr size_t kMaxMessage = 64 * 1024;
  static constexpr size_t kMaxWaiting = 1024 * 1024;
  static constexpr int kSilenceMs = 15000;  // above the session's own 10 s

  SerialLink();
  ~SerialLink();
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Opens a device (a COM port's path, a pseudo-terminal in tests) as a raw
  // line of 8 data bits, no parity, one stop bit, no flow control. False,
  // with Error() saying why, when it cannot be opened or set up.
  // A quiet link (announce false) sends no hellos and answers none: it only
  // trades datagrams, as a search does before anyone joins.
  bool Open(const std::string& device, int baud = 57600, bool announce = true);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  bool Connected() const { return connected_; }
  const std::string& Error() const { return error_; }

  // Queues a guaranteed message for the far end. False when the link is
  // closed, the message is larger than kMaxMessage, or kMaxWaiting bytes
  // already wait. Messages queued before the far end answers leave once it
  // does.
  bool Send(const std::vector<uint8_t>& bytes);
  // One unsequenced message that may be lost (finding a game over the cable).
  bool SendDatagram(const std::vector<uint8_t>& bytes);

  // Waits at most timeoutMs for the line or a wake, then reads, acknowledges,
  // sends and resends what is due, appending what happened to out.
  void Service(int timeoutMs, std::vector<LinkEvent>& out);
  void Wake() { wake_.Raise(); }

  // Frames sent again after a time-out or a repeated acknowledgement.
  uint64_t Resends() const { return resends_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Outgoing {
    uint16_t seq = 0;
    std::vector<uint8_t> bytes;  // the encoded frame
    Clock::time_point sent{};
    bool resent = false;
    size_t size = 0;  // the fragment's share of the waiting bytes
    bool held = false;  // the far end has it, past a gap
  };

  void ReadLine(std::vector<LinkEvent>& out);
  void OnFrame(SerialFrame& f, std::vector<LinkEvent>& out);
  void Transmit(Clock::time_point now);
  void FlushLine();
  void Queue(const SerialFrame& f);
  void Accept(const SerialFrame& f, std::vector<LinkEvent>& out);
  std::chrono::microseconds ResendAfter() const;
  void Resend(Outgoing& o, Clock::time_point now);
  void Reset();
  void SendHello();
  int NextWakeMs(Clock::time_point now) const;

  int fd_ = -1;
  int baud_ = 57600;
  bool announce_ = true;
  std::string error_;
  WakeEvent wake_;
  SerialFrameDecoder decoder_;
  uint32_t nonce_ = 0;
  uint32_t peerNonce_ = 0;
  bool connected_ = false;
  Clock::time_point lastHeard_{};
  Clock::time_point lastHello_{};

  // Sending side: fragments not yet framed, frames in flight.
  std::deque<std::vector<uint8_t>> pendingFragments_;
  std::deque<uint8_t> pendingLast_;
  size_t waitingBytes_ = 0;
  std::deque<Outgoing> inFlight_;
  uint16_t nextSeq_ = 0;
  std::chrono::microseconds srtt_{0};
  std::chrono::microseconds rttvar_{0};
  std::vector<uint8_t> tx_;  // bytes the line has not taken yet

  // Receiving side.
  uint16_t expected_ = 0;
  std::vector<uint8_t> assembly_;
  bool assemblyBroken_ = false;
  std::map<uint16_t, SerialFrame> early_;  // frames past a gap, kept for when it fills
  bool ackDue_ = false;

  uint64_t resends_ = 0;
};

// The device of COM port n (1 to 4): FERROWIND_COM<n> when set, else
// /dev/ttyS<n-1>. Empty for any other n.
std::string ComPortDevice(int n);

}  // namespace plat
