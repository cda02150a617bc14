// libs: fw_multiplayer
// The session layer on clean loopback. Latency: one 100-byte message from a
// member to the host, from the sender's Send to the receiver's Receive,
// against the same message over a plain UDP socket pair in the same run
// (p50_us, p99_us; the session's p99_ratio is its p99 over the UDP p99),
// and against the same hand-offs between threads over plain UDP
// (p99_ratio_threads): on a loaded machine the threads' wake-ups, not the
// protocol, make the tail.
// Load: eight members each sending 66 messages of 200 bytes a second to all;
// the host's network thread's CPU time over the wall time (cpu_pct), and that
// of an idle session's thread.
// Flood: a member that sends 50,000 one-byte heartbeats a second for 8 s,
// once (/0) or coming back with a new Hello whenever it is removed (/1); the host's network
// thread's CPU share (cpu_pct), against that of the same host carrying an
// honest member at 190 messages a second in the same run (cpu_ratio).
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "bench/bench_main.hpp"
#include "multiplayer/session/session_engine.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "platform/net/enet_transport.hpp"
#include "platform/net/udp_socket.hpp"
#include "platform/net/wake_event.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSamples = 1000;
// Messages leave at 150 a second, within the session's per-member limit of
// 200 (a member beyond it is dropped for flooding); the UDP baseline keeps
// the same pace.
constexpr auto kPace = std::chrono::microseconds(1000000 / 150);
double gUdpP99 = 0;
double gThreadsP99 = 0;

std::vector<uint8_t> Stamped(size_t size) {
  std::vector<uint8_t> b(size, 0x42);
  int64_t t = Clock::now().time_since_epoch().count();
  std::memcpy(b.data(), &t, sizeof t);
  return b;
}
double AgeUs(const std::vector<uint8_t>& b) {
  int64_t t = 0;
  std::memcpy(&t, b.data(), sizeof t);
  return std::chrono::duration<double, std::micro>(Clock::now().time_since_epoch() - Clock::duration(t)).count();
}

void Report(benchmark::State& state, std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[us.size() * 99 / 100];
  state.counters["p90_us"] = us[us.size() * 90 / 100];
  state.counters["max_us"] = us.back();
}

void BM_UdpOneWay(benchmark::State& state) {
  // A plain exchange: the receiver sleeps in the kernel until the datagram
  // comes, as the session's network thread does.
  plat::UdpSocket a, b;
  a.Open(plat::kLoopback, 0, false);
  b.Open(plat::kLoopback, 0, false);
  std::vector<double> us;
  for (auto _ : state) {
    std::thread receiver([&] {
      int fd = b.Fd();
      while (static_cast<int>(us.size()) < kSamples) {
        if (!plat::WaitReadable(&fd, 1, nullptr, 1000)) break;
        while (auto d = b.Receive()) us.push_back(AgeUs(d->bytes));
      }
    });
    auto start = Clock::now();
    for (int i = 0; i < kSamples; ++i) {
      std::this_thread::sleep_until(start + kPace * i);
      a.SendTo(plat::kLoopback, b.LocalPort(), Stamped(100));
    }
    receiver.join();
  }
  Report(state, us);
  gUdpP99 = state.counters["p99_us"];
}
BENCHMARK(BM_UdpOneWay)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same hand-offs as a session, over plain UDP: the game thread queues
// and wakes a sending thread, a receiving thread sleeps in the kernel and
// queues what comes, the game thread looks every 20 us. What the session's
// protocol and ENet add is the difference to this.
void BM_UdpThreadsOneWay(benchmark::State& state) {
  plat::UdpSocket a, b;
  a.Open(plat::kLoopback, 0, false);
  b.Open(plat::kLoopback, 0, false);
  plat::WakeEvent wake;
  std::mutex m;
  std::deque<std::vector<uint8_t>> out, in;
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    while (!stop) {
      plat::WaitReadable(nullptr, 0, &wake, 100);
      wake.Clear();
      std::lock_guard lock(m);
      for (; !out.empty(); out.pop_front()) a.SendTo(plat::kLoopback, b.LocalPort(), out.front());
    }
  });
  std::thread receiver([&] {
    int fd = b.Fd();
    while (!stop) {
      plat::WaitReadable(&fd, 1, nullptr, 100);
      while (auto d = b.Receive()) {
        std::lock_guard lock(m);
        in.push_back(std::move(d->bytes));
      }
    }
  });
  std::vector<double> us;
  for (auto _ : state) {
    auto start = Clock::now();
    for (int i = 0; i < kSamples; ++i) {
      std::this_thread::sleep_until(start + kPace * i);
      {
        std::lock_guard lock(m);
        out.push_back(Stamped(100));
      }
      wake.Raise();
      for (auto end = Clock::now() + std::chrono::seconds(1); Clock::now() < end;) {
        {
          std::lock_guard lock(m);
          if (!in.empty()) {
            us.push_back(AgeUs(in.front()));
            in.pop_front();
            break;
          }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
    }
  }
  stop = true;
  wake.Raise();
  sender.join();
  receiver.join();
  Report(state, us);
  gThreadsP99 = state.counters["p99_us"];
}
BENCHMARK(BM_UdpThreadsOneWay)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

struct Session {
  std::vector<std::unique_ptr<fw::SessionEngine>> members;
  bool joined = true;
  explicit Session(int count) {
    std::string error;
    members.push_back(std::make_unique<fw::SessionEngine>(std::make_unique<plat::EnetTransport>()));
    members[0]->Host({"127.0.0.1:0"}, "Ann", "Ann", 0, &error);
    auto s = members[0]->Snapshot();
    for (int i = 1; i < count; ++i) {
      members.push_back(std::make_unique<fw::SessionEngine>(std::make_unique<plat::EnetTransport>()));
      FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
      members.back()->StartJoin({"127.0.0.1:0"}, s.members.at(0).address, s.sessionId, "P" + std::to_string(i), &error);
      FW_LIBRARY_FALSE_ALARM_END
      joined &= members.back()->WaitJoin(5000) == fw::JoinResult::Ok;
    }
    Drain();
  }
  void Drain() {
    for (auto& m : members)
      while (m->Receive()) {
      }
  }
};

void BM_SessionOneWay(benchmark::State& state) {
  Session s(2);
  if (!s.joined) {
    state.SkipWithError("join failed");
    return;
  }
  std::vector<double> us;
  for (auto _ : state) {
    auto start = Clock::now();
    for (int i = 0; i < kSamples; ++i) {
      std::this_thread::sleep_until(start + kPace * i);
      s.members[1]->Send(1, Stamped(100));
      std::optional<fw::ReceivedMessage> m;
      auto end = Clock::now() + std::chrono::seconds(1);
      // The game thread looks often but does not hog a core the network
      // threads need.
      while (!(m = s.members[0]->Receive()) && Clock::now() < end) std::this_thread::sleep_for(std::chrono::microseconds(20));
      if (!m) break;  // a lost message: the run is void
      if (m->from != 0) us.push_back(AgeUs(m->bytes));
    }
  }
  if (us.size() < kSamples / 2) {
    state.SkipWithError("messages lost");
    return;
  }
  Report(state, us);
  if (gUdpP99 > 0) state.counters["p99_ratio"] = state.counters["p99_us"] / gUdpP99;
  if (gThreadsP99 > 0) state.counters["p99_ratio_threads"] = state.counters["p99_us"] / gThreadsP99;
}
BENCHMARK(BM_SessionOneWay)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

std::set<int> Threads() {
  std::set<int> out;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') out.insert(std::atoi(e->d_name));
    closedir(d);
  }
  return out;
}
// Nanoseconds the thread has run.
uint64_t ThreadCpuNs(int tid) {
  std::ifstream f("/proc/self/task/" + std::to_string(tid) + "/schedstat");
  uint64_t ns = 0;
  f >> ns;
  return ns;
}
// The thread a step started.
int NewThread(const std::set<int>& before) {
  for (int t : Threads())
    if (!before.count(t)) return t;
  return 0;
}

double CpuShare(int tid, const std::function<void()>& during) {
  uint64_t cpu0 = ThreadCpuNs(tid);
  auto t0 = Clock::now();
  during();
  double wallNs = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
  return 100.0 * static_cast<double>(ThreadCpuNs(tid) - cpu0) / wallNs;
}

void BM_EightMembersHostThread(benchmark::State& state) {
  auto before = Threads();
  Session s(1);
  int hostThread = NewThread(before);
  Session rest(0);
  // The other seven join the host.
  std::string error;
  auto snap = s.members[0]->Snapshot();
  for (int i = 1; i < 8; ++i) {
    s.members.push_back(std::make_unique<fw::SessionEngine>(std::make_unique<plat::EnetTransport>()));
    FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
    s.members.back()->StartJoin({"127.0.0.1:0"}, snap.members.at(0).address, snap.sessionId, "P" + std::to_string(i),
                                &error);
    FW_LIBRARY_FALSE_ALARM_END
    s.members.back()->WaitJoin(5000);
  }
  s.Drain();
  double pct = 0;
  for (auto _ : state) {
    pct = CpuShare(hostThread, [&] {
      auto start = Clock::now();
      const auto every = std::chrono::microseconds(1000000 / 66);
      for (int tick = 0; tick < 66 * 3; ++tick) {
        for (auto& m : s.members) m->Send(0, std::vector<uint8_t>(200, 7));
        s.Drain();
        std::this_thread::sleep_until(start + every * (tick + 1));
      }
    });
  }
  state.counters["cpu_pct"] = pct;
  state.counters["members"] = static_cast<double>(s.members[0]->Snapshot().members.size());
}
BENCHMARK(BM_EightMembersHostThread)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdleSessionThread(benchmark::State& state) {
  auto before = Threads();
  Session s(2);
  int hostThread = NewThread(before);
  double pct = 0;
  for (auto _ : state) pct = CpuShare(hostThread, [] { std::this_thread::sleep_for(std::chrono::seconds(3)); });
  state.counters["cpu_pct"] = pct;
}
BENCHMARK(BM_IdleSessionThread)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Joins the session at address as a bare link: Hello and nothing of the
// protocol after it. 0 when it did not get in within a second.
plat::LinkId RawJoin(plat::EnetTransport& t, const fw::SessionSnapshot& host) {
  const plat::LinkId link = t.Connect(host.members.at(0).address);
  fw::SessionFrame hello;
  hello.type = fw::FrameType::Hello;
  hello.protocol = fw::kSessionProtocol;
  hello.build = fw::kSessionBuild;
  hello.sessionId = host.sessionId;
  hello.name = "Flood";
  for (auto end = Clock::now() + std::chrono::seconds(1); Clock::now() < end; t.Wait(2)) {
    while (auto ev = t.Poll()) {
      if (ev->link != link) continue;
      if (ev->kind == plat::TransportEvent::Kind::Connected) t.Send(link, fw::EncodeFrame(hello));
      if (ev->kind == plat::TransportEvent::Kind::Disconnected) return 0;
      if (ev->kind == plat::TransportEvent::Kind::Received) {
        auto f = fw::DecodeFrame(ev->data);
        if (f && f->type == fw::FrameType::Welcome) return link;
        if (f && f->type == fw::FrameType::Refuse) return 0;
      }
    }
  }
  return 0;
}

void BM_SmallFrameFloodHostThread(benchmark::State& state) {
  auto before = Threads();
  Session s(1);
  int hostThread = NewThread(before);
  std::string error;
  const auto snap = s.members[0]->Snapshot();
  s.members.push_back(std::make_unique<fw::SessionEngine>(std::make_unique<plat::EnetTransport>()));
  s.members.back()->StartJoin({"127.0.0.1:0"}, snap.members.at(0).address, snap.sessionId, "Honest", &error);
  if (s.members.back()->WaitJoin(5000) != fw::JoinResult::Ok) {
    state.SkipWithError("join failed");
    return;
  }
  double honest = 0, flood = 0;
  int removals = 0;
  uint64_t sent = 0;
  for (auto _ : state) {
    honest = CpuShare(hostThread, [&] {
      auto start = Clock::now();
      for (int i = 0; i < 190 * 3; ++i) {
        s.members[1]->Send(1, std::vector<uint8_t>(100, 7));
        s.Drain();
        std::this_thread::sleep_until(start + std::chrono::microseconds(1000000 / 190) * (i + 1));
      }
    });
    flood = CpuShare(hostThread, [&] {
      plat::EnetTransport t;
      const std::vector<uint8_t> heartbeat = fw::EncodeFrame(fw::SessionFrame{});
      plat::LinkId link = 0;
      auto start = Clock::now();
      for (int ms = 0; ms < 8000; ++ms) {
        if (link == 0 && (ms == 0 || state.range(0) == 1)) link = RawJoin(t, snap);
        for (int i = 0; i < 50 && link != 0; ++i) sent += t.Send(link, heartbeat);
        while (auto ev = t.Poll())
          if (ev->kind == plat::TransportEvent::Kind::Disconnected && ev->link == link) {
            link = 0;
            ++removals;
          }
        s.Drain();
        std::this_thread::sleep_until(start + std::chrono::milliseconds(ms + 1));
      }
    });
  }
  state.counters["cpu_pct"] = flood;
  state.counters["honest_cpu_pct"] = honest;
  state.counters["cpu_ratio"] = honest > 0 ? flood / honest : 0;
  state.counters["removals"] = removals;
  state.counters["frames_sent"] = static_cast<double>(sent);
  state.counters["honest_stays"] = fw::SessionSnapshot::State::Member == s.members[1]->Snapshot().state;
}
BENCHMARK(BM_SmallFrameFloodHostThread)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

FW_BENCHMARK_MAIN()
