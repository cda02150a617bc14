// libs: fw_multiplayer
// Session frames from a peer: the decoder refuses or round-trips exactly,
// and a host fed any sequence of frames from a member neither crashes nor
// lets its roster or its peers' records change.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "multiplayer/session/session_engine.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "platform/net/loop_transport.hpp"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input is a run of frames, each led by a 16-bit length.
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; at + 2 <= size;) {
    size_t n = static_cast<size_t>(data[at]) | static_cast<size_t>(data[at + 1]) << 8;
    at += 2;
    n = std::min(n, size - at);
    frames.emplace_back(data + at, data + at + n);
    at += n;
  }
  for (const auto& b : frames) {
    std::optional<fw::SessionFrame> f = fw::DecodeFrame(b);
    if (!f) continue;
    Check(fw::EncodeFrame(*f) == b);
    std::optional<fw::SessionFrame> again = fw::DecodeFrame(fw::EncodeFrame(*f));
    Check(again && fw::EncodeFrame(*again) == b);
  }

  // A host with one honest member and one that sends the frames above.
  plat::LoopNetwork net(plat::LoopNetwork::Options{1, 1, 3, false});
  fw::SessionOptions o;
  o.threaded = false;
  fw::SessionEngine host(net.MakeNode("a"), o);
  fw::SessionEngine honest(net.MakeNode("b"), o);
  Check(host.Host({"a"}, "a", "a", 0, nullptr));
  uint64_t sid = host.Snapshot().sessionId;
  Check(honest.StartJoin({"b"}, "a", sid, "b", nullptr));
  auto raw = net.MakeNode("h");
  plat::LinkId link = raw->Connect("a");
  auto run = [&](int steps) {
    for (int i = 0; i < steps; ++i) {
      net.Advance(5);
      host.Step();
      honest.Step();
      while (raw->Poll()) {
      }
    }
  };
  run(10);
  fw::SessionFrame hello;
  hello.type = fw::FrameType::Hello;
  hello.protocol = fw::kSessionProtocol;
  hello.build = fw::kSessionBuild;
  hello.sessionId = sid;
  hello.name = "h";
  raw->Send(link, fw::EncodeFrame(hello));
  run(10);
  for (const auto& b : frames) raw->Send(link, b);
  run(20);

  // The honest member is still in, with the host, and nobody invented.
  fw::SessionSnapshot s = honest.Snapshot();
  Check(s.state == fw::SessionSnapshot::State::Member && s.myId == 2 && s.hostId == 1);
  for (const auto& m : s.members) Check(m.id >= 1 && m.id <= 3);
  for (const auto& m : host.Snapshot().members) Check(m.id >= 1 && m.id <= 3);
  size_t waiting = 0;
  while (auto m = honest.Receive()) {
    Check(m->from == 0 || m->from == 1 || m->from == 3);
    ++waiting;
  }
  Check(waiting <= frames.size() + 8);
  return 0;
}
