#pragma once
// The network game's one session object, in the shape the lobby and the
// network battle were written against: providers, an address, the sessions
// found, create or join, polled guaranteed messages with the sender's id, and
// the session's system messages (3 player created, 5 player destroyed, 257
// "you are now the host") in order with the game messages.
//
// Underneath, a session runs on a network thread of its own; every call here
// comes from the game thread and meets that thread only through bounded
// queues and a snapshot, so none of them blocks for long (Join at most 5 s,
// UpdateSession at most 300 ms), and the waiting ones take a pump that keeps
// the game's window alive meanwhile.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "multiplayer/session/session_types.hpp"

namespace fw {

// The game's application GUID, kept for its name's sake: nothing sends it.
// On the wire the discovery datagrams' magic ("FWDQ", "FWDA") and protocol
// number stand for it, and only answers that carry both are listed, so peers
// of other programs never meet.
inline constexpr const char* kApplicationGuid = "{C9A20040-FBEB-11d3-A577-004005A9D9EE}";

// One service provider as the lobby's word test reads it: the name decides
// the slot ("IPX", "TCP", "MODEM", "SERIAL" found in it).
struct ProviderEntry {
  std::string Name;
};

// The lobby object's address builder and modem list. This machine offers no
// modem; tests may supply a list to exercise the modem dialog.
struct PlayLobby {
  std::vector<std::string> modems;
  int ModemCount() const { return static_cast<int>(modems.size()); }
  std::string ModemName(int oneBased) const;
  PlayAddress ComPortAddress(int port, int baud, int stopBits, int parity, int flowControl) const;
};

// One session found by the last search.
struct SessionEntry {
  std::string SessionName;  // the host's profile name
  int CurrentPlayers = 0;
  int MaxPlayers = 0;       // 0: no limit
};

// One member of the current session.
struct PlayerEntry {
  int32_t Id = 0;
  std::string ShortName;  // the profile name it joined with
  std::string LongName;   // "Host" or "Player"
};

class SessionEngine;     // the network thread and its protocol
class NetworkProviders;  // how sessions are found and reached (session_providers.hpp)
class SessionSearch;
class SessionAdvertiser;
struct SessionOptions;
struct SessionAdvert;

class qelDirectPlay {
 public:
  // Over the product's providers (ENet, UDP discovery, serial link).
  qelDirectPlay();
  // Over other providers, e.g. a test's in-memory network:
  //   LoopWorld world;                                   // session_loop_providers.hpp
  //   qelDirectPlay host(MakeLoopProviders(world, "a"));
  //   qelDirectPlay guest(MakeLoopProviders(world, "b"));
  //   host.Init(); host.OpenConnection(1); host.CreateNew("Ann", 0);
  //   guest.Init(); guest.OpenConnection(1); guest.UpdateSession(); guest.Join(1, "Bob");
  // The session then runs on its own thread exactly as in the game.
  explicit qelDirectPlay(std::unique_ptr<NetworkProviders> providers);
  qelDirectPlay(std::unique_ptr<NetworkProviders> providers, const SessionOptions& options);
  ~qelDirectPlay();
  qelDirectPlay(const qelDirectPlay&) = delete;
  qelDirectPlay& operator=(const qelDirectPlay&) = delete;

  // Public state other screens read and write.
  std::vector<ProviderEntry> EnumConnections;  // filled by Init; 1-based in the callers' loops
  std::vector<SessionEntry> DPEnumSessions;    // the sessions of the last UpdateSession
  std::optional<PlayAddress> DPAddress;        // empty until OpenConnection, CreateIP or a dialog sets it
  PlayLobby DPLobby;
  std::vector<PlayerEntry> DPEnumPlayers;      // as of the last UpdatePlayers
  int32_t MessageCount = 0;
  std::string UserName;
  bool ConnectMade = false;
  std::string PlayerHandle;  // "Host", "Player", or "HOST" once the session made us host
  int32_t MyPlayID = 0;

  bool Init();
  // False when the search cannot start (no socket, an invalid address); a
  // search that finds nothing is still True.
  bool OpenConnection(int providerIndex);
  bool UpdateSession();
  // The same waits, calling pump every few milliseconds while they wait for
  // the network (the lobby draws its frames so); pump must not call back
  // into this object.
  bool OpenConnection(int providerIndex, const WaitPump& pump);
  bool UpdateSession(const WaitPump& pump);
  bool Join(int sessionIndex, const std::string& name, const WaitPump& pump);
  // 1-based; an empty entry for an index out of range.
  SessionEntry GetSessionData(int index) const;
  bool CreateNew(const std::string& name, int maxPlayers);
  // The real result within 5 s; LastJoinResult says why it failed.
  bool Join(int sessionIndex, const std::string& name);
  JoinResult LastJoinResult() const { return lastJoin_; }
  bool UpdatePlayers();
  // Leaves the session (the others learn of it at once) and releases it.
  void CloseDownDPlay();
  int32_t RefreshMsg();
  void CreateIP(const std::string& text);

  // Messages. Send queues a guaranteed message to one member, or to all but
  // ourselves with to = 0; False when there is no session or the queue is
  // full. Receive takes the next waiting message in arrival order.
  bool Send(int32_t to, std::vector<uint8_t> bytes);
  std::optional<ReceivedMessage> Receive();

  // "Am I the host", asked of the session, never of a name text.
  bool IsHost() const;
  // The host's id as the session knows it now (it changes when the host
  // goes); 0 outside a session. Member long names keep what they joined as.
  int32_t HostId() const;
  bool InSession() const;
  // The host removes a member (a silent player); others cannot.
  bool DestroyPlayer(int32_t id);
  // Why the session ended on its own ("overflow", "flooding", "removed", ...);
  // empty while it runs.
  std::string EndReason() const;
  // While false, the host refuses joiners with "not accepting".
  void SetAccepting(bool accepting);

 private:
  void RefreshSessionState();
  SessionAdvert AdvertOf(const SessionSnapshot& s) const;

  std::unique_ptr<NetworkProviders> providers_;
  std::unique_ptr<SessionOptions> options_;
  std::unique_ptr<SessionSearch> search_;
  std::vector<SessionAdvert> found_;  // parallel to DPEnumSessions
  std::unique_ptr<SessionEngine> engine_;
  std::unique_ptr<SessionAdvertiser> advertiser_;
  uint64_t advertisedVersion_ = 0;
  PlayAddress sessionAddress_;
  bool initialized_ = false;
  JoinResult lastJoin_ = JoinResult::Ok;
};

// The global DPlay, created on first use; ReleaseDPlay sets it to nothing.
// A test may hand it other providers for the next creation.
qelDirectPlay& DPlay();
void SetDPlayProviders(std::unique_ptr<NetworkProviders> providers);
bool DPlayExists();
void ReleaseDPlay();

}  // namespace fw
