#include "multiplayer/session/direct_play.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "multiplayer/session/session_engine.hpp"
#include "multiplayer/session/session_frames.hpp"
#include "multiplayer/session/session_providers.hpp"
#include "platform/display/message_box.hpp"
#include "platform/runtime/code_page.hpp"

namespace fw {

namespace {

// Join waits this long of real time for the session's own 5 s verdict.
constexpr uint32_t kJoinWaitMs = 5500;

std::string LoginName() {
  if (const char* u = std::getenv("USER"); u != nullptr && *u != '\0') return u;
  struct passwd pw;
  struct passwd* found = nullptr;
  char buf[1024];
  if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found != nullptr && found->pw_name != nullptr)
    return found->pw_name;
  return "";
}

// Only sessions that can take a player are listed: joining a full one, or
// one that stopped accepting, would only be refused.
bool Available(const SessionAdvert& a) {
  return a.accepting && (a.maxPlayers <= 0 || a.players < a.maxPlayers) &&
         a.players < static_cast<int>(kMaxRosterMembers);
}

}  // namespace

PlayAddress StandardProviderAddress(int providerIndex) {
  PlayAddress a;
  if (providerIndex == 2) a.kind = PlayAddress::Kind::TcpIp;
  if (providerIndex == 3) {
    a.kind = PlayAddress::Kind::Serial;
    a.comPort = 1;
  }
  return a;
}

std::string PlayLobby::ModemName(int oneBased) const {
  if (oneBased < 1 || oneBased > ModemCount()) return "";
  return modems[static_cast<size_t>(oneBased - 1)];
}

PlayAddress PlayLobby::ComPortAddress(int port, int baud, int stopBits, int parity, int flowControl) const {
  PlayAddress a;
  a.kind = PlayAddress::Kind::Serial;
  a.comPort = port;
  a.baud = baud;
  a.stopBits = stopBits;
  a.parity = parity;
  a.flowControl = flowControl;
  return a;
}

qelDirectPlay::qelDirectPlay() : qelDirectPlay(MakeDefaultProviders()) {}

qelDirectPlay::qelDirectPlay(std::unique_ptr<NetworkProviders> providers)
    : qelDirectPlay(std::move(providers), SessionOptions{}) {}

qelDirectPlay::qelDirectPlay(std::unique_ptr<NetworkProviders> providers, const SessionOptions& options)
    : providers_(std::move(providers)), options_(std::make_unique<SessionOptions>(options)) {
  // The name is kept as the game keeps its text, at most 98 bytes of whole
  // characters.
  UserName = plat::CutToBytes(plat::FromUtf8(LoginName()), 98);
}

qelDirectPlay::~qelDirectPlay() { CloseDownDPlay(); }

bool qelDirectPlay::Init() {
  std::vector<std::string> names;
  if (providers_) names = providers_->Names();
  if (names.empty()) {
    // The lobby then offers no connection.
    plat::MsgBox("Failed to initialize DirectPlay.", "");
    return false;
  }
  EnumConnections.clear();
  for (const std::string& n : names) EnumConnections.push_back(ProviderEntry{n});
  initialized_ = true;
  return true;
}

bool qelDirectPlay::OpenConnection(int providerIndex) { return OpenConnection(providerIndex, WaitPump{}); }

bool qelDirectPlay::OpenConnection(int providerIndex, const WaitPump& pump) {
  if (!initialized_ || providerIndex < 1 || providerIndex > static_cast<int>(EnumConnections.size())) return false;
  if (!DPAddress) DPAddress = providers_->DefaultAddress(providerIndex);
  std::string error;
  std::unique_ptr<SessionSearch> search = providers_->StartSearch(*DPAddress, &error);
  // A search that cannot start is a failed connection, not an empty list.
  if (!search) return false;
  search_ = std::move(search);
  ConnectMade = UpdateSession(pump);
  return true;
}

bool qelDirectPlay::UpdateSession() { return UpdateSession(WaitPump{}); }

bool qelDirectPlay::UpdateSession(const WaitPump& pump) {
  if (!search_) return false;
  found_.clear();
  DPEnumSessions.clear();
  for (SessionAdvert& a : search_->Refresh(pump)) {
    if (a.protocol != kSessionProtocol || !Available(a)) continue;
    DPEnumSessions.push_back(SessionEntry{a.name, a.players, a.maxPlayers});
    found_.push_back(std::move(a));
  }
  return true;
}

SessionEntry qelDirectPlay::GetSessionData(int index) const {
  if (index < 1 || index > static_cast<int>(DPEnumSessions.size())) return {};
  return DPEnumSessions[static_cast<size_t>(index - 1)];
}

bool qelDirectPlay::CreateNew(const std::string& name, int maxPlayers) {
  if (!providers_) return false;
  advertiser_.reset();
  engine_.reset();
  PlayAddress address = DPAddress ? *DPAddress : providers_->DefaultAddress(1);
  std::string error;
  std::unique_ptr<plat::Transport> transport = providers_->MakeTransport(address, &error);
  if (!transport) return false;
  auto engine = std::make_unique<SessionEngine>(std::move(transport), *options_);
  if (!engine->Host(providers_->ListenAddresses(address, true), name, name, maxPlayers, &error)) return false;
  engine_ = std::move(engine);
  PlayerHandle = "Host";
  sessionAddress_ = address;
  SessionSnapshot s = engine_->Snapshot();
  MyPlayID = s.myId;
  advertiser_ = providers_->StartAdvertiser(address, engine_->transport(), AdvertOf(s), &error);
  advertisedVersion_ = s.version;
  return true;
}

bool qelDirectPlay::Join(int sessionIndex, const std::string& name) { return Join(sessionIndex, name, WaitPump{}); }

bool qelDirectPlay::Join(int sessionIndex, const std::string& name, const WaitPump& pump) {
  if (!providers_ || sessionIndex < 1 || sessionIndex > static_cast<int>(found_.size())) {
    lastJoin_ = JoinResult::NoSuchRow;
    return false;
  }
  advertiser_.reset();
  engine_.reset();
  const SessionAdvert& target = found_[static_cast<size_t>(sessionIndex - 1)];
  PlayAddress address = DPAddress ? *DPAddress : providers_->DefaultAddress(1);
  sessionAddress_ = address;
  std::string error;
  std::unique_ptr<plat::Transport> transport = providers_->MakeTransport(address, &error);
  if (!transport) {
    lastJoin_ = JoinResult::Unreachable;
    return false;
  }
  auto engine = std::make_unique<SessionEngine>(std::move(transport), *options_);
  if (!engine->StartJoin(providers_->ListenAddresses(address, false), target.gameAddress, target.sessionId, name,
                         &error)) {
    lastJoin_ = JoinResult::Unreachable;
    return false;
  }
  lastJoin_ = engine->WaitJoin(kJoinWaitMs, pump);
  if (lastJoin_ != JoinResult::Ok) return false;  // the engine leaves as it goes
  engine_ = std::move(engine);
  PlayerHandle = "Player";
  SessionSnapshot s = engine_->Snapshot();
  MyPlayID = s.myId;
  advertisedVersion_ = s.version;
  return true;
}

bool qelDirectPlay::UpdatePlayers() {
  if (!engine_) return false;
  SessionSnapshot s = engine_->Snapshot();
  DPEnumPlayers.clear();
  for (const SessionMember& m : s.members) DPEnumPlayers.push_back(PlayerEntry{m.id, m.name, m.longName});
  RefreshSessionState();
  return true;
}

void qelDirectPlay::CloseDownDPlay() {
  // The advertiser answers on the session's transport: it goes first.
  advertiser_.reset();
  engine_.reset();
  EnumConnections.clear();
  search_.reset();
  DPEnumSessions.clear();
  found_.clear();
  initialized_ = false;
}

int32_t qelDirectPlay::RefreshMsg() {
  if (!engine_) return 0;
  MessageCount = static_cast<int32_t>(engine_->Waiting());
  RefreshSessionState();
  return MessageCount;
}

void qelDirectPlay::CreateIP(const std::string& text) {
  PlayAddress a;
  a.kind = PlayAddress::Kind::TcpIp;
  a.ip = text;
  DPAddress = a;
}

bool qelDirectPlay::Send(int32_t to, std::vector<uint8_t> bytes) {
  return engine_ && engine_->Send(to, std::move(bytes));
}

std::optional<ReceivedMessage> qelDirectPlay::Receive() {
  if (!engine_) return std::nullopt;
  std::optional<ReceivedMessage> m = engine_->Receive();
  // The handle changes with the message that says so, in order with the rest.
  if (m && m->from == 0 && m->bytes.size() >= 4 && m->bytes[0] == (kSysBecameHost & 0xff) &&
      m->bytes[1] == (kSysBecameHost >> 8) && m->bytes[2] == 0 && m->bytes[3] == 0)
    PlayerHandle = "HOST";
  return m;
}

bool qelDirectPlay::IsHost() const {
  return engine_ && engine_->Snapshot().state == SessionSnapshot::State::Host;
}

int32_t qelDirectPlay::HostId() const {
  if (!engine_) return 0;
  SessionSnapshot s = engine_->Snapshot();
  bool in = s.state == SessionSnapshot::State::Host || s.state == SessionSnapshot::State::Member;
  return in ? s.hostId : 0;
}

bool qelDirectPlay::InSession() const {
  if (!engine_) return false;
  SessionSnapshot::State st = engine_->Snapshot().state;
  return st == SessionSnapshot::State::Host || st == SessionSnapshot::State::Member;
}

bool qelDirectPlay::DestroyPlayer(int32_t id) { return engine_ && engine_->Remove(id); }

std::string qelDirectPlay::EndReason() const { return engine_ ? engine_->Snapshot().endReason : ""; }

void qelDirectPlay::SetAccepting(bool accepting) {
  if (engine_) engine_->SetAccepting(accepting);
}

SessionAdvert qelDirectPlay::AdvertOf(const SessionSnapshot& s) const {
  SessionAdvert a;
  a.protocol = options_->protocol;
  a.build = options_->build;
  a.sessionId = s.sessionId;
  a.name = s.sessionName;
  a.players = static_cast<int>(s.members.size());
  a.maxPlayers = s.maxPlayers;
  a.accepting = s.accepting;
  for (const SessionMember& m : s.members)
    if (m.id == s.myId) a.gameAddress = m.address;
  return a;
}

void qelDirectPlay::RefreshSessionState() {
  if (!engine_) return;
  SessionSnapshot s = engine_->Snapshot();
  if (s.version == advertisedVersion_) return;
  advertisedVersion_ = s.version;
  if (s.state != SessionSnapshot::State::Host) {
    advertiser_.reset();
    return;
  }
  std::string error;
  // A member that the session made host keeps the game listed.
  if (!advertiser_) advertiser_ = providers_->StartAdvertiser(sessionAddress_, engine_->transport(), AdvertOf(s), &error);
  else advertiser_->Update(AdvertOf(s));
}

namespace {
std::unique_ptr<qelDirectPlay>& GlobalDPlay() {
  static std::unique_ptr<qelDirectPlay> g;
  return g;
}
std::unique_ptr<NetworkProviders>& NextProviders() {
  static std::unique_ptr<NetworkProviders> p;
  return p;
}
}  // namespace

qelDirectPlay& DPlay() {
  auto& g = GlobalDPlay();
  if (!g) {
    auto& p = NextProviders();
    g = p ? std::make_unique<qelDirectPlay>(std::move(p)) : std::make_unique<qelDirectPlay>();
  }
  return *g;
}

void SetDPlayProviders(std::unique_ptr<NetworkProviders> providers) { NextProviders() = std::move(providers); }

bool DPlayExists() { return GlobalDPlay() != nullptr; }

void ReleaseDPlay() { GlobalDPlay().reset(); }

}  // namespace fw
