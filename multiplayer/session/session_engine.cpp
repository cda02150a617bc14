#include "multiplayer/session/session_engine.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "multiplayer/session/pumped_wait.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "platform/runtime/code_page.hpp"

// How nothing of a surviving member is lost or doubled when the host goes:
// - every sender numbers its messages and keeps each until the host says all
//   its addressees have it (the host hears that from their cumulative
//   confirmations), so after a host change it sends again what is open and
//   receivers drop numbers they already had;
// - the host's own messages have no second copy at their sender, so each
//   member keeps the last of them a while; the new host gathers these from
//   all who come back and gives each what it lacks before saying the old
//   host is gone, so all keep the same prefix of them.
// Links are FIFO and everything passes through the host in order, which is
// what makes "player created" come before a player's messages and "player
// destroyed" after them.

namespace fw {

namespace {

// A member's allowance at the host: refills at rate per second up to twice
// that, so a burst of two seconds' worth passes and a steady excess does not.
// A one-time credit lets a member that comes back to a new host resend its
// backlog (bounded by its own outbox) without counting as a flood.
struct Bucket {
  double tokens = 0;
  double rate = 0;
  double credit = 0;
  uint64_t last = 0;
  void Reset(double r, uint64_t now, double oneTimeCredit = 0) {
    rate = r;
    tokens = 2 * r;
    credit = oneTimeCredit;
    last = now;
  }
  bool Take(double n, uint64_t now) {
    if (now > last) tokens = std::min(2 * rate, tokens + rate * static_cast<double>(now - last) / 1000.0);
    last = now;
    double fromCredit = std::min(credit, n);
    credit -= fromCredit;
    tokens -= n - fromCredit;
    return tokens >= 0;
  }
};

struct OutFrame {
  int32_t to = 0;
  uint64_t seq = 0;
  std::vector<uint8_t> bytes;
  int32_t from = 0;  // History only
};

// The host's view of one link that came in: a joiner until its Hello is
// answered, then a member.
struct Peer {
  plat::LinkId link = 0;
  int32_t id = 0;
  bool rejoined = false;          // came back to us after the old host went
  uint64_t lastFromOldHost = 0;
  uint64_t opened = 0;
  uint64_t lastHeard = 0;
  uint64_t lastSent = 0;
  Bucket frames, allFrames, bytes;
  std::vector<OutFrame> history;  // what it holds of the old host, sent ahead of its Hello
  size_t historyBytes = 0;
};

// A relayed frame of one sender that some addressees have not confirmed.
struct Pending {
  uint64_t seq = 0;
  std::vector<int32_t> waiting;
};

enum class Role { Idle, Joining, Member, Migrating, Gathering, Host, Ended };

constexpr uint32_t kAckEveryMs = 50;
constexpr uint32_t kRejoinAttemptMs = 1000;
constexpr uint32_t kRetryHelloMs = 250;
constexpr uint32_t kHostSurelyGoneMs = 2000;
constexpr size_t kHistoryFrames = 1024;
constexpr size_t kHistoryBytes = 1u << 20;
constexpr size_t kFrameOverhead = 32;  // a data or history frame's bytes beyond its payload, at most
// A stranger that keeps opening links must open this many between a real
// joiner's connect and its Hello to push it out; the transport has room.
constexpr size_t kMaxUnidentifiedLinks = 256;
constexpr size_t kMaxEventsPerStep = 4096;

std::vector<uint8_t> SysBytes(int32_t type, int32_t id) {
  std::vector<uint8_t> b(8);
  for (int i = 0; i < 4; ++i) {
    b[static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(type) >> (8 * i));
    b[static_cast<size_t>(4 + i)] = static_cast<uint8_t>(static_cast<uint32_t>(id) >> (8 * i));
  }
  return b;
}

JoinResult FromRefusal(uint8_t reason) {
  switch (static_cast<RefuseReason>(reason)) {
    case RefuseReason::Version: return JoinResult::RefusedVersion;
    case RefuseReason::Full: return JoinResult::RefusedFull;
    case RefuseReason::NotAccepting: return JoinResult::RefusedNotAccepting;
    case RefuseReason::BadName: return JoinResult::RefusedBadName;
    case RefuseReason::UnknownSession:
    case RefuseReason::Retry: break;
  }
  return JoinResult::RefusedUnknownSession;
}

const char* RemoveText(uint8_t reason) {
  switch (static_cast<RemoveReason>(reason)) {
    case RemoveReason::Flooding: return "flooding";
    case RemoveReason::TimedOut: return "timed out";
    case RemoveReason::Removed: break;
  }
  return "removed";
}

}  // namespace

const char* JoinResultText(JoinResult r) {
  switch (r) {
    case JoinResult::Ok: return "joined";
    case JoinResult::RefusedVersion: return "version";
    case JoinResult::RefusedFull: return "full";
    case JoinResult::RefusedUnknownSession: return "unknown session";
    case JoinResult::RefusedNotAccepting: return "not accepting";
    case JoinResult::RefusedBadName: return "bad name";
    case JoinResult::Unreachable: return "unreachable";
    case JoinResult::TimedOut: return "time-out";
    case JoinResult::NoSuchRow: return "no such session";
  }
  return "unknown";
}

struct SessionEngine::Core {
  Core(std::unique_ptr<plat::Transport> tr, SessionOptions op) : t(std::move(tr)), o(op) {}

  std::unique_ptr<plat::Transport> t;
  SessionOptions o;

  // Shared with the game thread, under m.
  mutable std::mutex m;
  std::condition_variable changed;
  std::deque<OutFrame> outQueue;  // seq not yet given
  size_t outCount = 0, outBytes = 0;  // queued plus unacknowledged
  std::deque<ReceivedMessage> inbox;
  size_t inboxBytes = 0;
  SessionSnapshot snap;
  std::vector<int32_t> removeRequests;
  std::optional<bool> acceptingRequest;
  bool leaveRequest = false;
  bool stopRequest = false;
  std::thread thread;

  // Network thread only.
  Role role = Role::Idle;
  int32_t myId = 0, hostId = 0, maxSeenId = 0, nextId = 2;
  uint64_t sessionId = 0;
  std::string sessionName, myName, myAddress;
  int maxPlayers = 0;
  bool accepting = true;
  std::map<int32_t, SessionMember> members;
  JoinResult joinResult = JoinResult::Ok;
  std::string endReason;
  bool dirty = true;
  uint64_t version = 0;
  uint64_t now = 0;

  // As a sender.
  uint64_t nextSeq = 1;
  std::deque<OutFrame> unacked;
  // As a receiver.
  std::map<int32_t, uint64_t> recvMax;
  std::set<int32_t> ackDirty;
  uint64_t lastAckSent = 0;
  // The current host's own messages, kept a while in case it goes and a
  // new host must give the others what they missed; numbers alongside.
  std::deque<ReceivedMessage> hostHistory;
  std::deque<uint64_t> hostHistorySeq;
  size_t historyBytes = 0;
  // As a member.
  plat::LinkId hostLink = 0;
  uint64_t hostLastHeard = 0, lastSentToHost = 0, joinDeadline = 0;
  // As the host (and as a member, for links that come in).
  std::map<plat::LinkId, Peer> peers;
  std::map<int32_t, plat::LinkId> linkOf;
  std::map<int32_t, std::deque<Pending>> pending;
  std::map<int32_t, uint64_t> relayedMax;
  // Finding the new host.
  int32_t oldHostId = 0;
  std::set<int32_t> tried;
  uint64_t migrateStarted = 0, attemptDeadline = 0, retryAt = 0;
  int32_t target = 0;
  // Waiting, as the new host, for the others to come back.
  uint64_t gatherDeadline = 0;
  std::set<int32_t> expected;
  std::map<uint64_t, OutFrame> merged;  // the old host's messages by seq

  // ---- sending ----
  void SendFrame(plat::LinkId link, const SessionFrame& f) {
    if (link == 0) return;
    std::vector<uint8_t> b = EncodeFrame(f);
    t->Send(link, b);
    if (link == hostLink) lastSentToHost = now;
    auto it = peers.find(link);
    if (it != peers.end()) it->second.lastSent = now;
  }
  void SendTo(int32_t id, const SessionFrame& f) {
    auto it = linkOf.find(id);
    if (it != linkOf.end()) SendFrame(it->second, f);
  }
  void Refuse(plat::LinkId link, RefuseReason why) {
    SessionFrame f;
    f.type = FrameType::Refuse;
    f.reason = static_cast<uint8_t>(why);
    SendFrame(link, f);
    if (why != RefuseReason::Retry) DropLink(link);
  }
  void DropLink(plat::LinkId link) {
    t->Close(link);
    auto it = peers.find(link);
    if (it != peers.end()) {
      if (it->second.id != 0 && linkOf.count(it->second.id) && linkOf[it->second.id] == link)
        linkOf.erase(it->second.id);
      peers.erase(it);
    }
  }

  // ---- the game thread's inbox ----
  bool PushInbox(ReceivedMessage msg) {
    {
      std::lock_guard<std::mutex> lock(m);
      if (inbox.size() < o.inboxMessages && inboxBytes + msg.bytes.size() <= o.inboxBytes) {
        inboxBytes += msg.bytes.size();
        inbox.push_back(std::move(msg));
        return true;
      }
    }
    // The game stopped reading: leave rather than lose a message unseen.
    End("overflow", true);
    return false;
  }
  // The game answers "player created" and "player destroyed" by reading the
  // roster: the roster it can read must say so first, or a player who has
  // gone is listed again.
  void PushSys(int32_t type, int32_t id) {
    if (type == kSysPlayerCreated || type == kSysPlayerDestroyed) Publish();
    if (type == kSysPlayerDestroyed) ForgetSender(id);
    PushInbox(ReceivedMessage{0, myId, SysBytes(type, id)});
  }
  // Ids are never reused, so what we kept of a sender's frame numbers is of
  // no use once it is gone, and a long session would gather it for every
  // player who ever came and spoke. The old host's numbers are read until
  // the new host opens, which is when its "player destroyed" goes out.
  void ForgetSender(int32_t id) {
    recvMax.erase(id);
    relayedMax.erase(id);
    ackDirty.erase(id);  // a confirmation would make its entry again
  }

  // A game message reached us: drop what we had, keep the order.
  void Deliver(int32_t from, int32_t to, uint64_t seq, std::vector<uint8_t> bytes) {
    uint64_t& last = recvMax[from];
    if (role == Role::Member) ackDirty.insert(from);  // a repeat is confirmed too
    if (seq <= last) return;
    last = seq;
    if (from == hostId && role != Role::Host && role != Role::Gathering) {
      hostHistory.push_back(ReceivedMessage{from, to, bytes});
      hostHistorySeq.push_back(seq);
      historyBytes += bytes.size();
      while (hostHistory.size() > kHistoryFrames || historyBytes > kHistoryBytes) {
        historyBytes -= hostHistory.front().bytes.size();
        hostHistory.pop_front();
        hostHistorySeq.pop_front();
      }
    }
    PushInbox(ReceivedMessage{from, to, std::move(bytes)});
  }

  // ---- the host's relay ----
  void Relay(int32_t from, int32_t to, uint64_t seq, std::vector<uint8_t> bytes) {
    if (role == Role::Ended) return;
    uint64_t& last = relayedMax[from];
    if (seq <= last) return;
    last = seq;
    std::vector<int32_t> targets;
    if (to == 0) {
      for (auto& [id, mem] : members)
        if (id != from) targets.push_back(id);
    } else if (to != from && members.count(to)) {
      targets.push_back(to);
    }
    Pending p{seq, {}};
    for (int32_t id : targets) {
      if (id == myId) {
        Deliver(from, to, seq, bytes);
        if (role == Role::Ended) return;
        continue;
      }
      SessionFrame f;
      f.type = FrameType::Data;
      f.from = from;
      f.to = to;
      f.seq = seq;
      f.payload = bytes;
      SendTo(id, f);
      p.waiting.push_back(id);
    }
    if (from != myId) {
      auto& q = pending[from];
      q.push_back(std::move(p));
      AdvanceAck(from);
      // An addressee that never confirms would make the host keep this
      // sender's frames for ever; a live member confirms within a fraction
      // of a second, so one that lags this far is treated as gone.
      if (q.size() > o.outboxMessages / 2) {
        std::vector<int32_t> laggards = q.front().waiting;
        for (int32_t id : laggards) RemoveMember(id, RemoveReason::TimedOut);
      }
    }
  }
  void AdvanceAck(int32_t sender) {
    auto& q = pending[sender];
    uint64_t done = 0;
    while (!q.empty() && q.front().waiting.empty()) {
      done = q.front().seq;
      q.pop_front();
    }
    if (done != 0) {
      SessionFrame f;
      f.type = FrameType::SendAck;
      f.seq = done;
      SendTo(sender, f);
    }
  }
  void OnRecvAck(int32_t receiver, int32_t sender, uint64_t seq) {
    auto it = pending.find(sender);
    if (it == pending.end()) return;
    for (Pending& p : it->second) {
      if (p.seq > seq) break;
      std::erase(p.waiting, receiver);
    }
    AdvanceAck(sender);
  }

  // ---- membership ----
  void SeeId(int32_t id) { maxSeenId = std::max(maxSeenId, id); }

  void RemoveMember(int32_t id, std::optional<RemoveReason> why) {
    if (id == myId || !members.count(id)) return;
    auto li = linkOf.find(id);
    if (li != linkOf.end()) {
      plat::LinkId link = li->second;
      if (why) {
        SessionFrame f;
        f.type = FrameType::Removed;
        f.reason = static_cast<uint8_t>(*why);
        SendFrame(link, f);
      }
      DropLink(link);
    }
    members.erase(id);
    pending.erase(id);
    for (auto& [sender, q] : pending) {
      for (Pending& p : q) std::erase(p.waiting, id);
      AdvanceAck(sender);
    }
    SessionFrame f;
    f.type = FrameType::MemberLeft;
    f.memberId = id;
    for (auto& [other, link] : linkOf) SendFrame(link, f);
    dirty = true;
    PushSys(kSysPlayerDestroyed, id);
  }

  // A joiner listening on every interface names itself 0.0.0.0:port; the
  // others could not reach that from another machine after a host change,
  // so the host puts in the address the joiner's link came from.
  std::string ReachableAddress(plat::LinkId link, const std::string& told) const {
    static const std::string kAny = "0.0.0.0:";
    if (told.rfind(kAny, 0) != 0) return told;
    const std::string seen = t->PeerAddress(link);
    const size_t colon = seen.rfind(':');
    if (colon == std::string::npos || colon == 0) return told;
    return seen.substr(0, colon) + told.substr(kAny.size() - 1);
  }

  void OnHello(Peer& peer, const SessionFrame& f) {
    plat::LinkId link = peer.link;
    if (f.protocol != o.protocol || f.build != o.build) return Refuse(link, RefuseReason::Version);
    if (f.sessionId != sessionId) return Refuse(link, RefuseReason::UnknownSession);
    if (f.rejoinId != 0) return OnRejoin(peer, f);
    if (role != Role::Host) return Refuse(link, RefuseReason::UnknownSession);
    if (!accepting) return Refuse(link, RefuseReason::NotAccepting);
    if (maxPlayers > 0 && members.size() >= static_cast<size_t>(maxPlayers)) return Refuse(link, RefuseReason::Full);
    if (members.size() >= kMaxRosterMembers) return Refuse(link, RefuseReason::Full);
    if (!ValidPlayerName(f.name)) return Refuse(link, RefuseReason::BadName);
    int32_t id = std::max(nextId, maxSeenId + 1);
    nextId = id + 1;
    SeeId(id);
    SessionMember mem{id, f.name, "Player", ReachableAddress(link, f.address)};
    // Everyone already in hears of the joiner before any message of it.
    SessionFrame joined;
    joined.type = FrameType::MemberJoined;
    joined.memberId = id;
    joined.name = mem.name;
    joined.longName = mem.longName;
    joined.address = mem.address;
    for (auto& [other, l] : linkOf) SendFrame(l, joined);
    members[id] = mem;
    peer.id = id;
    linkOf[id] = link;
    SessionFrame w = WelcomeFor(id);
    SendFrame(link, w);
    dirty = true;
    PushSys(kSysPlayerCreated, id);
  }

  SessionFrame WelcomeFor(int32_t id) {
    SessionFrame w;
    w.type = FrameType::Welcome;
    w.yourId = id;
    w.hostId = myId;
    w.sessionId = sessionId;
    w.sessionName = sessionName;
    w.maxPlayers = maxPlayers;
    for (auto& [mid, mem] : members) w.roster.push_back(mem);
    return w;
  }

  void OnRejoin(Peer& asked, const SessionFrame& f) {
    plat::LinkId link = asked.link;
    if (!members.count(f.rejoinId) || f.rejoinId == myId) return Refuse(link, RefuseReason::UnknownSession);
    if (role == Role::Member && f.oldHostId == hostId) {
      // It lost the host before we noticed; believe it once we too have
      // heard nothing for a while, so one member's bad link cannot unseat
      // a live host.
      if (now - hostLastHeard < kHostSurelyGoneMs) return Refuse(link, RefuseReason::Retry);
      HostLost();
    }
    auto found = peers.find(link);
    if (found == peers.end()) return;
    Peer& peer = found->second;
    if (role == Role::Migrating) return Refuse(link, RefuseReason::Retry);
    if (role != Role::Gathering || f.oldHostId != oldHostId || !expected.count(f.rejoinId))
      return Refuse(link, RefuseReason::UnknownSession);
    peer.id = f.rejoinId;
    peer.rejoined = true;
    peer.lastFromOldHost = f.lastFromOldHost;
    for (OutFrame& h : peer.history)
      if (h.from == oldHostId) merged.emplace(h.seq, std::move(h));
    peer.history.clear();
    linkOf[peer.id] = link;
    expected.erase(peer.id);
    if (expected.empty()) Open();
  }

  // ---- host migration ----
  void HostLost() {
    oldHostId = hostId;
    if (hostLink) t->Close(hostLink);
    hostLink = 0;
    tried.clear();
    migrateStarted = now;
    NextCandidate();
  }

  void NextCandidate() {
    if (hostLink) t->Close(hostLink);
    hostLink = 0;
    int32_t c = 0;
    for (auto& [id, mem] : members) {
      if (id != oldHostId && !tried.count(id)) {
        c = id;
        break;
      }
    }
    if (c == 0) return End("host lost", false);
    dirty = true;
    if (c == myId) return BecomeHost();
    role = Role::Migrating;
    hostId = target = c;
    hostLink = t->Connect(members[c].address);
    attemptDeadline = now + kRejoinAttemptMs;
    retryAt = 0;
    if (hostLink == 0) {
      tried.insert(c);
      NextCandidate();
    }
  }

  SessionFrame MyHello() const {
    SessionFrame h;
    h.type = FrameType::Hello;
    h.protocol = o.protocol;
    h.build = o.build;
    h.sessionId = sessionId;
    h.name = myName;
    h.address = myAddress;
    return h;
  }

  // What we hold of the old host goes ahead of the Hello, so the new host has
  // it all by the time it lets us in.
  void SendRejoinHello() {
    for (size_t i = 0; i < hostHistory.size(); ++i) {
      if (hostHistory[i].from != oldHostId) continue;
      SessionFrame f;
      f.type = FrameType::History;
      f.from = oldHostId;
      f.to = hostHistory[i].to;
      f.seq = hostHistorySeq[i];
      f.payload = hostHistory[i].bytes;
      SendFrame(hostLink, f);
    }
    SessionFrame h = MyHello();
    h.rejoinId = myId;
    h.oldHostId = oldHostId;
    h.lastFromOldHost = recvMax[oldHostId];
    SendFrame(hostLink, h);
  }

  void BecomeHost() {
    role = Role::Gathering;
    hostId = myId;
    gatherDeadline = now + o.rejoinWindowMs;
    expected.clear();
    for (auto& [id, mem] : members)
      if (id != myId && id != oldHostId && !tried.count(id)) expected.insert(id);
    merged.clear();
    for (size_t i = 0; i < hostHistory.size(); ++i) {
      if (hostHistory[i].from == oldHostId)
        merged[hostHistorySeq[i]] = OutFrame{hostHistory[i].to, hostHistorySeq[i], hostHistory[i].bytes};
    }
    // Links that came in before we knew the host was gone are kept: their
    // Hello is answered again when it comes.
    dirty = true;
    if (expected.empty()) Open();
  }

  // Everyone who could come back has: tell each one the roster, give each
  // what it missed of the old host's messages, then say who is gone.
  void Open() {
    std::vector<int32_t> gone{oldHostId};
    for (auto& [id, mem] : members) {
      if (id == myId || id == oldHostId) continue;
      if (!linkOf.count(id)) gone.push_back(id);
    }
    std::sort(gone.begin(), gone.end());
    for (auto& [link, peer] : peers) {
      if (!peer.rejoined) continue;
      SendFrame(link, WelcomeFor(peer.id));
      for (auto& [seq, h] : merged) {
        if (seq <= peer.lastFromOldHost || (h.to != 0 && h.to != peer.id)) continue;
        SessionFrame d;
        d.type = FrameType::Data;
        d.from = oldHostId;
        d.to = h.to;
        d.seq = seq;
        d.payload = h.bytes;
        SendFrame(link, d);
      }
      for (int32_t id : gone) {
        SessionFrame l;
        l.type = FrameType::MemberLeft;
        l.memberId = id;
        SendFrame(link, l);
      }
      peer.rejoined = false;
      peer.lastHeard = now;
      peer.frames.Reset(o.framesPerSecond, now, static_cast<double>(o.outboxMessages));
      peer.allFrames.Reset(o.allFramesPerSecond, now, static_cast<double>(o.outboxMessages));
      peer.bytes.Reset(o.bytesPerSecond, now, static_cast<double>(o.outboxBytes + o.outboxMessages * kFrameOverhead));
    }
    role = Role::Host;  // before delivering, so our own copy keeps no history
    for (auto& [seq, h] : merged) {
      if (h.to != 0 && h.to != myId) continue;
      Deliver(oldHostId, h.to, seq, h.bytes);
    }
    merged.clear();
    hostHistory.clear();
    hostHistorySeq.clear();
    historyBytes = 0;
    pending.clear();
    relayedMax.clear();
    ackDirty.clear();
    for (int32_t id : gone) {
      members.erase(id);
      PushSys(kSysPlayerDestroyed, id);
    }
    PushSys(kSysBecameHost, myId);
    nextId = maxSeenId + 1;
    dirty = true;
    // What we sent through the old host and it never confirmed goes out
    // again; whoever had it already drops it.
    std::deque<OutFrame> mine;
    mine.swap(unacked);
    ReleaseOut(mine);
    for (OutFrame& u : mine) Relay(myId, u.to, u.seq, std::move(u.bytes));
  }

  void ReleaseOut(const std::deque<OutFrame>& done) {
    size_t bytes = 0;
    for (const OutFrame& u : done) bytes += u.bytes.size();
    std::lock_guard<std::mutex> lock(m);
    outCount -= std::min(outCount, done.size());
    outBytes -= std::min(outBytes, bytes);
  }

  // ---- ending ----
  void End(const std::string& why, bool tellHost) {
    if (role == Role::Ended) return;
    if (role == Role::Joining) {
      if (joinResult == JoinResult::Ok) joinResult = JoinResult::Unreachable;
    }
    if (tellHost && hostLink && (role == Role::Member)) {
      SessionFrame f;
      f.type = FrameType::Leave;
      SendFrame(hostLink, f);
    }
    if (hostLink) t->Close(hostLink);
    hostLink = 0;
    for (auto& [link, peer] : peers) t->Close(link);
    peers.clear();
    linkOf.clear();
    pending.clear();
    role = Role::Ended;
    endReason = why;
    dirty = true;
  }

  // ---- events ----
  void OnConnected(plat::LinkId link) {
    if (link == hostLink && role == Role::Joining) {
      SendFrame(hostLink, MyHello());
      hostLastHeard = now;
      return;
    }
    if (link == hostLink && role == Role::Migrating) {
      SendRejoinHello();
      // A new host answers once the others are back, or its window closed.
      attemptDeadline = now + o.rejoinWindowMs + kRejoinAttemptMs;
      return;
    }
    if (role == Role::Ended || role == Role::Idle || role == Role::Joining) {
      t->Close(link);
      return;
    }
    // Links that never say who they are must not lock real joiners out:
    // past the cap, the one that has waited longest goes.
    size_t unidentified = 0;
    plat::LinkId oldest = 0;
    uint64_t oldestAt = UINT64_MAX;
    for (auto& [l, p] : peers) {
      if (p.id != 0) continue;
      ++unidentified;
      if (p.opened < oldestAt) {
        oldestAt = p.opened;
        oldest = l;
      }
    }
    if (unidentified >= kMaxUnidentifiedLinks) DropLink(oldest);
    Peer p;
    p.link = link;
    p.opened = p.lastHeard = p.lastSent = now;
    p.frames.Reset(o.framesPerSecond, now);
    // A member coming back after a host change sends what it holds of the
    // old host ahead of its Hello: that much, once, is no flood.
    p.allFrames.Reset(o.allFramesPerSecond, now, static_cast<double>(kHistoryFrames));
    p.bytes.Reset(o.bytesPerSecond, now, static_cast<double>(kHistoryBytes + kHistoryFrames * kFrameOverhead));
    peers[link] = p;
  }

  void OnDisconnected(plat::LinkId link) {
    if (link == hostLink) {
      hostLink = 0;
      if (role == Role::Joining) {
        if (joinResult == JoinResult::Ok) joinResult = JoinResult::Unreachable;
        return End(JoinResultText(joinResult), false);
      }
      if (role == Role::Member) return HostLost();
      if (role == Role::Migrating) {
        tried.insert(target);
        return NextCandidate();
      }
      return;
    }
    auto it = peers.find(link);
    if (it == peers.end()) return;
    int32_t id = it->second.id;
    peers.erase(it);
    if (id != 0 && linkOf.count(id) && linkOf[id] == link) {
      linkOf.erase(id);
      if (role == Role::Host) RemoveMember(id, std::nullopt);
      else if (role == Role::Gathering) expected.insert(id);
    }
  }

  void OnFromHost(const SessionFrame& f) {
    hostLastHeard = now;
    if (role == Role::Joining) {
      if (f.type == FrameType::Welcome) {
        myId = f.yourId;
        hostId = f.hostId;
        sessionName = f.sessionName;
        maxPlayers = f.maxPlayers;
        members.clear();
        for (const SessionMember& mem : f.roster) {
          members[mem.id] = mem;
          SeeId(mem.id);
        }
        role = Role::Member;
        joinResult = JoinResult::Ok;
        dirty = true;
        for (auto& [id, mem] : members)
          if (id != myId) PushSys(kSysPlayerCreated, id);
      } else if (f.type == FrameType::Refuse) {
        joinResult = FromRefusal(f.reason);
        End(JoinResultText(joinResult), false);
      }
      return;
    }
    if (role == Role::Migrating) {
      if (f.type == FrameType::Welcome && f.yourId == myId) {
        hostId = f.hostId;
        // The old host may have announced a joiner to some of us only: the
        // new host's roster is the one everybody keeps.
        std::map<int32_t, SessionMember> roster;
        for (const SessionMember& mem : f.roster) {
          roster[mem.id] = mem;
          SeeId(mem.id);
        }
        for (auto it = members.begin(); it != members.end();) {
          if (it->first != myId && !roster.count(it->first)) {
            int32_t id = it->first;
            it = members.erase(it);
            PushSys(kSysPlayerDestroyed, id);
          } else {
            ++it;
          }
        }
        for (auto& [id, mem] : roster) {
          if (members.count(id)) continue;
          members[id] = mem;
          PushSys(kSysPlayerCreated, id);
        }
        role = Role::Member;
        hostHistory.clear();
        hostHistorySeq.clear();
        historyBytes = 0;
        dirty = true;
        for (const OutFrame& u : unacked) SendData(u);
      } else if (f.type == FrameType::Refuse) {
        if (f.reason == static_cast<uint8_t>(RefuseReason::Retry)) {
          retryAt = now + kRetryHelloMs;
          attemptDeadline = now + kRejoinAttemptMs;
        } else {
          // A live new host that will not have us has already told the
          // others we are gone: going on to the next would split the session.
          End("host lost", false);
        }
      }
      return;
    }
    if (role != Role::Member) return;
    switch (f.type) {
      case FrameType::Data:
        if (members.count(f.from) && f.from != myId) Deliver(f.from, f.to, f.seq, f.payload);
        break;
      case FrameType::MemberJoined:
        if (!members.count(f.memberId)) {
          members[f.memberId] = SessionMember{f.memberId, f.name, f.longName, f.address};
          SeeId(f.memberId);
          dirty = true;
          PushSys(kSysPlayerCreated, f.memberId);
        }
        break;
      case FrameType::MemberLeft:
        if (members.count(f.memberId) && f.memberId != myId) {
          members.erase(f.memberId);
          dirty = true;
          PushSys(kSysPlayerDestroyed, f.memberId);
        }
        break;
      case FrameType::SendAck: {
        std::deque<OutFrame> done;
        while (!unacked.empty() && unacked.front().seq <= f.seq) {
          done.push_back(std::move(unacked.front()));
          unacked.pop_front();
        }
        ReleaseOut(done);
        break;
      }
      case FrameType::Removed:
        End(RemoveText(f.reason), false);
        break;
      default:
        break;  // nothing else is a host's to send
    }
  }

  bool WithinAllowance(Peer& peer, FrameType type, size_t size) {
    bool ok = peer.allFrames.Take(1, now);
    ok = peer.bytes.Take(static_cast<double>(size), now) && ok;
    if (type == FrameType::Data) ok = peer.frames.Take(1, now) && ok;
    return ok;
  }

  void OnFromPeer(Peer& peer, const SessionFrame& f) {
    if (peer.id == 0) {
      if (f.type == FrameType::Hello) {
        plat::LinkId link = peer.link;
        // What was allowed for the history ends with it; a member coming
        // back is given room for its backlog once the new host opens.
        peer.allFrames.credit = 0;
        peer.bytes.credit = 0;
        OnHello(peer, f);
        // Taken in, or to be sent again with the next Hello.
        auto it = peers.find(link);
        if (it != peers.end()) {
          it->second.history.clear();
          it->second.historyBytes = 0;
        }
        return;
      }
      // A member coming back sends what it holds of the old host ahead of
      // its Hello; anything else before a Hello is out of place.
      if (f.type == FrameType::History) {
        if (peer.history.size() < kHistoryFrames && peer.historyBytes + f.payload.size() <= kHistoryBytes) {
          peer.historyBytes += f.payload.size();
          peer.history.push_back(OutFrame{f.to, f.seq, f.payload, f.from});
        }
        return;
      }
      return DropLink(peer.link);
    }
    if (role == Role::Gathering) return;
    if (role != Role::Host) return;
    switch (f.type) {
      case FrameType::Data:
        Relay(peer.id, f.to, f.seq, f.payload);
        break;
      case FrameType::RecvAck:
        for (const AckEntry& a : f.acks) OnRecvAck(peer.id, a.sender, a.seq);
        break;
      case FrameType::Leave:
        RemoveMember(peer.id, std::nullopt);
        break;
      default:
        break;  // unsolicited: ignored
    }
  }

  void OnEvent(plat::TransportEvent& ev) {
    switch (ev.kind) {
      case plat::TransportEvent::Kind::Connected: return OnConnected(ev.link);
      case plat::TransportEvent::Kind::Disconnected: return OnDisconnected(ev.link);
      case plat::TransportEvent::Kind::Received: break;
    }
    std::optional<SessionFrame> f = DecodeFrame(ev.data);
    if (ev.link == hostLink && hostLink != 0) {
      if (f) OnFromHost(*f);
      return;
    }
    auto it = peers.find(ev.link);
    if (it == peers.end()) return;
    // Refused whole or not, every frame counts against the sender's allowance.
    Peer& p = it->second;
    p.lastHeard = now;
    if (!WithinAllowance(p, f ? f->type : FrameType{}, ev.data.size())) {
      if (p.id != 0 && role == Role::Host) return RemoveMember(p.id, RemoveReason::Flooding);
      return DropLink(p.link);
    }
    if (f) OnFromPeer(it->second, *f);
  }

  // ---- outgoing game messages ----
  void SendData(const OutFrame& u) {
    SessionFrame f;
    f.type = FrameType::Data;
    f.to = u.to;
    f.seq = u.seq;
    f.payload = u.bytes;
    SendFrame(hostLink, f);
  }

  void TakeOutgoing() {
    std::vector<OutFrame> q;
    {
      std::lock_guard<std::mutex> lock(m);
      if (outQueue.empty()) return;
      q.reserve(outQueue.size());
      for (OutFrame& u : outQueue) q.push_back(std::move(u));
      outQueue.clear();
    }
    size_t relayed = 0, relayedBytes = 0;
    for (OutFrame& u : q) {
      u.seq = nextSeq++;
      if (role == Role::Host) {
        ++relayed;
        relayedBytes += u.bytes.size();
        Relay(myId, u.to, u.seq, std::move(u.bytes));
        if (role == Role::Ended) break;
      } else {
        if (role == Role::Member) SendData(u);
        unacked.push_back(std::move(u));
      }
    }
    if (relayed > 0) {
      std::lock_guard<std::mutex> lock(m);
      outCount -= std::min(outCount, relayed);
      outBytes -= std::min(outBytes, relayedBytes);
    }
  }

  // ---- timers ----
  void Timers() {
    switch (role) {
      case Role::Joining:
        if (now >= joinDeadline) {
          joinResult = JoinResult::TimedOut;
          End(JoinResultText(joinResult), false);
        }
        break;
      case Role::Member:
        if (now - hostLastHeard >= o.timeoutMs) {
          HostLost();
          break;
        }
        if (!ackDirty.empty() && now - lastAckSent >= kAckEveryMs) SendAcks();
        if (now - lastSentToHost >= o.heartbeatMs) {
          SessionFrame f;
          f.type = FrameType::Heartbeat;
          SendFrame(hostLink, f);
        }
        break;
      case Role::Migrating:
        if (now - migrateStarted >= o.rejoinGiveUpMs) {
          End("host lost", false);
        } else if (now >= attemptDeadline) {
          tried.insert(target);
          NextCandidate();
        } else if (retryAt != 0 && now >= retryAt) {
          retryAt = 0;
          SendRejoinHello();
        }
        break;
      case Role::Gathering:
        if (now >= gatherDeadline) Open();
        break;
      default:
        break;
    }
    if (role == Role::Host) {
      std::vector<int32_t> silent;
      for (auto& [link, peer] : peers) {
        if (peer.id != 0 && now - peer.lastHeard >= o.timeoutMs) silent.push_back(peer.id);
      }
      for (int32_t id : silent) RemoveMember(id, RemoveReason::TimedOut);
      SessionFrame hb;
      hb.type = FrameType::Heartbeat;
      for (auto& [link, peer] : peers) {
        if (peer.id != 0 && now - peer.lastSent >= o.heartbeatMs) SendFrame(link, hb);
      }
    }
    // A link that never says who it is does not stay.
    std::vector<plat::LinkId> stale;
    for (auto& [link, peer] : peers) {
      if (peer.id == 0 && now - peer.opened >= o.joinTimeoutMs) stale.push_back(link);
    }
    for (plat::LinkId link : stale) DropLink(link);
  }

  void SendAcks() {
    SessionFrame f;
    f.type = FrameType::RecvAck;
    for (int32_t s : ackDirty) {
      f.acks.push_back(AckEntry{s, recvMax[s]});
      if (f.acks.size() == kMaxAckEntries) {
        SendFrame(hostLink, f);
        f.acks.clear();
      }
    }
    if (!f.acks.empty()) SendFrame(hostLink, f);
    ackDirty.clear();
    lastAckSent = now;
  }

  // ---- one turn of the network thread ----
  bool busy = false;  // the last Step left events waiting

  void Step() {
    now = t->NowMs();
    std::vector<int32_t> removes;
    std::optional<bool> acc;
    bool leave = false;
    {
      std::lock_guard<std::mutex> lock(m);
      removes.swap(removeRequests);
      acc = acceptingRequest;
      acceptingRequest.reset();
      leave = leaveRequest;
      leaveRequest = false;
    }
    if (acc) {
      accepting = *acc;
      dirty = true;
    }
    if (role == Role::Host)
      for (int32_t id : removes) RemoveMember(id, RemoveReason::Removed);
    if (leave) End("left", true);
    if (role == Role::Member || role == Role::Host || role == Role::Migrating || role == Role::Gathering)
      TakeOutgoing();
    busy = true;
    for (size_t i = 0; i < kMaxEventsPerStep; ++i) {
      std::optional<plat::TransportEvent> ev = t->Poll();
      if (!ev) {
        busy = false;
        break;
      }
      OnEvent(*ev);
    }
    if (role != Role::Ended && role != Role::Idle) Timers();
    if (role == Role::Member || role == Role::Host) TakeOutgoing();
    if (dirty) Publish();
  }

  void Publish() {
    dirty = false;
    SessionSnapshot s;
    switch (role) {
      case Role::Idle: s.state = SessionSnapshot::State::Idle; break;
      case Role::Joining: s.state = SessionSnapshot::State::Joining; break;
      case Role::Member:
      case Role::Migrating: s.state = SessionSnapshot::State::Member; break;
      case Role::Gathering:
      case Role::Host: s.state = SessionSnapshot::State::Host; break;
      case Role::Ended: s.state = SessionSnapshot::State::Ended; break;
    }
    s.myId = myId;
    s.hostId = hostId;
    s.sessionId = sessionId;
    s.sessionName = sessionName;
    s.maxPlayers = maxPlayers;
    s.accepting = accepting;
    for (auto& [id, mem] : members) s.members.push_back(mem);
    s.joinResult = joinResult;
    s.endReason = endReason;
    s.version = ++version;
    {
      std::lock_guard<std::mutex> lock(m);
      snap = std::move(s);
    }
    changed.notify_all();
  }

  bool ListenOn(const std::vector<std::string>& addresses, std::string* error) {
    std::string why;
    for (const std::string& a : addresses) {
      if (t->Listen(a, &why)) {
        myAddress = t->LocalAddress();
        return true;
      }
    }
    if (error) *error = addresses.empty() ? "no address to listen on" : why;
    return false;
  }

  void Run() {
    for (;;) {
      Step();
      {
        std::lock_guard<std::mutex> lock(m);
        if (stopRequest && !leaveRequest) break;
      }
      if (busy) continue;
      uint32_t wait = 100;
      if (!ackDirty.empty()) wait = kAckEveryMs;
      t->Wait(wait);
    }
    // Let what the leaving queued go out before the transport goes.
    for (int i = 0; i < 5; ++i) {
      while (t->Poll()) {
      }
      t->Wait(10);
    }
  }

  void StartThread() {
    if (o.threaded) thread = std::thread([this] { Run(); });
  }
};

SessionEngine::SessionEngine(std::unique_ptr<plat::Transport> transport, SessionOptions options)
    : core_(std::make_unique<Core>(std::move(transport), options)) {}

SessionEngine::~SessionEngine() {
  if (core_->thread.joinable()) {
    {
      std::lock_guard<std::mutex> lock(core_->m);
      core_->leaveRequest = core_->snap.state != SessionSnapshot::State::Ended;
      core_->stopRequest = true;
    }
    core_->t->Wake();
    core_->thread.join();
  } else if (core_->role != Role::Idle && core_->role != Role::Ended) {
    core_->now = core_->t->NowMs();
    core_->End("left", true);
  }
}

bool SessionEngine::Host(const std::vector<std::string>& listenAddresses, const std::string& sessionName,
                         const std::string& playerName, int maxPlayers, std::string* error) {
  Core& c = *core_;
  if (c.role != Role::Idle) {
    if (error) *error = "already in a session";
    return false;
  }
  // Joiners and searches refuse a name that breaks the rule of names: a
  // session under one could be hosted but never joined nor listed.
  if (playerName.empty() || !ValidNameText(playerName) || !ValidNameText(sessionName)) {
    if (error) *error = "bad name";
    return false;
  }
  if (!c.ListenOn(listenAddresses, error)) return false;
  c.now = c.t->NowMs();
  std::random_device rd;
  do {
    c.sessionId = (static_cast<uint64_t>(rd()) << 32) ^ rd() ^ c.now;
  } while (c.sessionId == 0);
  c.myId = c.hostId = 1;
  c.maxSeenId = 1;
  c.nextId = 2;
  // Joiners get the name as a frame can carry it; the host keeps the same.
  c.sessionName = plat::CutToBytes(sessionName, kMaxFrameStringBytes);
  c.myName = playerName;
  c.maxPlayers = std::max(0, maxPlayers);
  c.members[1] = SessionMember{1, playerName, "Host", c.myAddress};
  c.role = Role::Host;
  c.Publish();
  c.StartThread();
  return true;
}

bool SessionEngine::StartJoin(const std::vector<std::string>& listenAddresses, const std::string& hostAddress,
                              uint64_t sessionId, const std::string& playerName, std::string* error) {
  Core& c = *core_;
  if (c.role != Role::Idle) {
    if (error) *error = "already in a session";
    return false;
  }
  c.now = c.t->NowMs();
  c.myName = playerName;
  c.sessionId = sessionId;
  if (!c.ListenOn(listenAddresses, error)) {
    c.joinResult = JoinResult::Unreachable;
    c.End("cannot listen", false);
    c.Publish();
    return false;
  }
  c.hostLink = c.t->Connect(hostAddress);
  if (c.hostLink == 0) {
    if (error) *error = "cannot reach " + hostAddress;
    c.role = Role::Joining;
    c.joinResult = JoinResult::Unreachable;
    c.End(JoinResultText(c.joinResult), false);
    c.Publish();
    return false;
  }
  c.role = Role::Joining;
  c.joinDeadline = c.now + c.o.joinTimeoutMs;
  c.hostLastHeard = c.now;
  c.Publish();
  c.StartThread();
  return true;
}

JoinResult SessionEngine::WaitJoin(uint32_t maxMs) { return WaitJoin(maxMs, WaitPump{}); }

JoinResult SessionEngine::WaitJoin(uint32_t maxMs, const WaitPump& pump) {
  Core& c = *core_;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
  std::unique_lock<std::mutex> lock(c.m);
  auto joining = [&] { return c.snap.state == SessionSnapshot::State::Joining; };
  if (c.thread.joinable()) WaitPumping(c.changed, lock, until, pump, [&] { return !joining(); });
  if (joining()) return JoinResult::TimedOut;
  return c.snap.joinResult;
}

bool SessionEngine::Send(int32_t to, std::vector<uint8_t> bytes) {
  Core& c = *core_;
  if (to < 0 || bytes.size() > kMaxPayloadBytes) return false;
  {
    std::lock_guard<std::mutex> lock(c.m);
    auto st = c.snap.state;
    if (st != SessionSnapshot::State::Member && st != SessionSnapshot::State::Host) return false;
    if (c.outCount + 1 > c.o.outboxMessages || c.outBytes + bytes.size() > c.o.outboxBytes) return false;
    c.outCount += 1;
    c.outBytes += bytes.size();
    c.outQueue.push_back(OutFrame{to, 0, std::move(bytes)});
  }
  c.t->Wake();
  return true;
}

std::optional<ReceivedMessage> SessionEngine::Receive() {
  Core& c = *core_;
  std::lock_guard<std::mutex> lock(c.m);
  if (c.inbox.empty()) return std::nullopt;
  ReceivedMessage msg = std::move(c.inbox.front());
  c.inbox.pop_front();
  c.inboxBytes -= msg.bytes.size();
  return msg;
}

size_t SessionEngine::Waiting() const {
  std::lock_guard<std::mutex> lock(core_->m);
  return core_->inbox.size();
}

SessionSnapshot SessionEngine::Snapshot() const {
  std::lock_guard<std::mutex> lock(core_->m);
  return core_->snap;
}

bool SessionEngine::Remove(int32_t id) {
  Core& c = *core_;
  {
    std::lock_guard<std::mutex> lock(c.m);
    if (c.snap.state != SessionSnapshot::State::Host || id == c.snap.myId) return false;
    bool known = std::any_of(c.snap.members.begin(), c.snap.members.end(),
                             [&](const SessionMember& mem) { return mem.id == id; });
    if (!known) return false;
    c.removeRequests.push_back(id);
  }
  c.t->Wake();
  return true;
}

void SessionEngine::SetAccepting(bool accepting) {
  {
    std::lock_guard<std::mutex> lock(core_->m);
    core_->acceptingRequest = accepting;
  }
  core_->t->Wake();
}

void SessionEngine::Leave() {
  Core& c = *core_;
  {
    std::lock_guard<std::mutex> lock(c.m);
    c.leaveRequest = true;
  }
  if (c.thread.joinable()) {
    c.t->Wake();
    // "At once": wait, briefly and with a deadline, until the thread has sent it.
    std::unique_lock<std::mutex> lock(c.m);
    c.changed.wait_for(lock, std::chrono::milliseconds(500),
                       [&] { return c.snap.state == SessionSnapshot::State::Ended || !c.leaveRequest; });
  } else {
    c.Step();
  }
}

void SessionEngine::Step() { core_->Step(); }

std::vector<int32_t> SessionEngine::TrackedSenders() const {
  const Core& c = *core_;
  std::set<int32_t> ids(c.ackDirty);
  for (const auto& [id, seq] : c.recvMax) ids.insert(id);
  for (const auto& [id, seq] : c.relayedMax) ids.insert(id);
  return {ids.begin(), ids.end()};
}

plat::Transport& SessionEngine::transport() { return *core_->t; }

}  // namespace fw
