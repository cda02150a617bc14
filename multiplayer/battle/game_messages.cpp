#include "multiplayer/battle/game_messages.hpp"

#include <bit>
#include <cmath>
#include <limits>
#include <string_view>
#include <type_traits>

#include "platform/runtime/code_page.hpp"

namespace fw {
namespace {

constexpr int32_t kInt16Min = std::numeric_limits<int16_t>::min();
constexpr int32_t kInt16Max = std::numeric_limits<int16_t>::max();
constexpr int32_t kAnyLong = std::numeric_limits<int32_t>::max();
constexpr int32_t kNoLongBelow = std::numeric_limits<int32_t>::min();
constexpr float kAnySingle = std::numeric_limits<float>::max();

// Each message's fields are listed once (in Fields below) against one of
// these two: the writer checks and appends, the reader reads and checks. A
// failure sticks, so the listing needs no early returns.
class Writer {
 public:
  MessageBytes out;
  bool ok = true;

  void Long(const int32_t& v, int32_t lo = kNoLongBelow, int32_t hi = kAnyLong) {
    if (v < lo || v > hi) ok = false;
    PutLE(static_cast<uint32_t>(v));
  }
  void Single(const float& v, float lo = -kAnySingle, float hi = kAnySingle) {
    if (!std::isfinite(v) || v < lo || v > hi) ok = false;
    PutLE(std::bit_cast<uint32_t>(v));
  }
  void Byte(const uint8_t& v, uint8_t hi = 255) {
    if (v > hi) ok = false;
    out.push_back(v);
  }
  void Text(const std::string& s, size_t cap) {
    if (s.size() > cap || !plat::WholeCharacters(s)) {
      ok = false;
      return;
    }
    out.push_back(static_cast<uint8_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  // A fixed value: written as it stands.
  void Fixed(int32_t v) { PutLE(static_cast<uint32_t>(v)); }
  // A value sent a second time.
  void Again(const int32_t& v) { PutLE(static_cast<uint32_t>(v)); }
  template <class T, class Each>
  void List(const std::vector<T>& v, size_t cap, bool longCount, Each each) {
    if (v.size() > cap) {
      ok = false;
      return;
    }
    if (longCount) PutLE(static_cast<uint32_t>(v.size()));
    else out.push_back(static_cast<uint8_t>(v.size()));
    for (const T& e : v) each(e);
  }

 private:
  void PutLE(uint32_t u) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(u >> (8 * k)));
  }
};

class Reader {
 public:
  std::span<const uint8_t> in;
  size_t pos = 0;
  bool ok = true;

  explicit Reader(std::span<const uint8_t> bytes) : in(bytes) {}

  void Long(int32_t& v, int32_t lo = kNoLongBelow, int32_t hi = kAnyLong) {
    v = static_cast<int32_t>(GetLE());
    if (v < lo || v > hi) ok = false;
  }
  void Single(float& v, float lo = -kAnySingle, float hi = kAnySingle) {
    v = std::bit_cast<float>(GetLE());
    if (!std::isfinite(v) || v < lo || v > hi) ok = false;
  }
  void Byte(uint8_t& v, uint8_t hi = 255) {
    v = Take(1) ? in[pos - 1] : 0;
    if (v > hi) ok = false;
  }
  void Text(std::string& s, size_t cap) {
    uint8_t n = 0;
    Byte(n);
    if (!ok || n > cap || !Take(n)) {
      ok = false;
      return;
    }
    s.assign(reinterpret_cast<const char*>(in.data() + pos - n), n);
    if (!plat::WholeCharacters(s)) ok = false;
  }
  void Fixed(int32_t v) {
    if (static_cast<int32_t>(GetLE()) != v) ok = false;
  }
  void Again(const int32_t& v) { Fixed(v); }
  template <class T, class Each>
  void List(std::vector<T>& v, size_t cap, bool longCount, Each each) {
    uint32_t n = 0;
    if (longCount) {
      n = GetLE();
    } else {
      uint8_t b = 0;
      Byte(b);
      n = b;
    }
    if (!ok || n > cap) {
      ok = false;
      return;
    }
    v.resize(n);
    for (T& e : v) {
      each(e);
      if (!ok) return;
    }
  }
  bool AtEnd() const { return ok && pos == in.size(); }

 private:
  bool Take(size_t n) {
    if (!ok || in.size() - pos < n) {
      ok = false;
      return false;
    }
    pos += n;
    return true;
  }
  uint32_t GetLE() {
    if (!Take(4)) return 0;
    const uint8_t* p = in.data() + pos - 4;
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
};

// The ranges in these listings are the one place that says what a receiver
// accepts. The message is const for the writer.
template <class A, class W>
void WeaponFields(A& a, W& w) {
  a.Single(w.Agile);
  a.Long(w.Ammo, kInt16Min, kInt16Max);
  a.Long(w.ClipID, kInt16Min, kInt16Max);
  a.Single(w.Energy);
  a.Long(w.FireAngle, kInt16Min, kInt16Max);
  a.Single(w.FireSpeed);
  a.Text(w.Key, kMaxWeaponKeyBytes);
  a.Byte(w.Path);
  a.Long(w.FirePower, kInt16Min, kInt16Max);
  a.Long(w.Range);
  a.Single(w.Speed);
  a.Long(w.OffsetX, kInt16Min, kInt16Max);
}

template <class A, class B>
void BuildingFields(A& a, B& b) {
  a.Text(b.Key, kMaxBuildingKeyBytes);
  a.Long(b.HP, kInt16Min, kInt16Max);
  a.Long(b.MapX);
  a.Long(b.MapY);
  a.Single(b.Shield);
}

template <class A, class M>
void Fields(A& a, M& m) {
  using T = std::remove_const_t<M>;
  auto weapon = [&a](auto& w) { WeaponFields(a, w); };
  auto building = [&a](auto& b) { BuildingFields(a, b); };
  if constexpr (std::is_same_v<T, MsgTankInfo>) {
    a.Single(m.Accelerate);
    a.Single(m.Agile);
    a.Single(m.HeadAngle);
    a.Text(m.Picture, kMaxPictureNameBytes);
    a.Single(m.EnergyFull, kInt16Min, kInt16Max);
    a.Single(m.EnergySpeed);
    a.Single(m.ShieldFull, kInt16Min, kInt16Max);
    a.Single(m.ShieldSpeed);
    a.Single(m.TopSpeed);
    a.Single(m.PosX);
    a.Single(m.PosY);
    a.List(m.Weapons, kMaxWireWeapons, false, weapon);
    a.Fixed(kTankInfoEndMarker);
  } else if constexpr (std::is_same_v<T, MsgTankState>) {
    a.Single(m.PosX);
    a.Single(m.PosY);
    a.Single(m.Speed);
    a.Single(m.HeadAngle);
    a.Single(m.Energy);
    a.Single(m.Shield);
    a.Single(m.HP, kInt16Min, kInt16Max);
    a.Byte(m.Team, 1);
    a.Byte(m.Active, 1);
  } else if constexpr (std::is_same_v<T, MsgJoin>) {
    a.Byte(m.Team, 1);
  } else if constexpr (std::is_same_v<T, MsgControl>) {
    a.Byte(m.MoveFB, 2);
    a.Byte(m.TurnR, 1);
    a.Byte(m.TurnL, 1);
    a.Long(m.PerSpeed, -50, 100);
    a.Byte(m.Fire, 1);
    a.Single(m.AimX);
    a.Single(m.AimY);
    a.Long(m.TargetOwner, -1);
    a.List(m.Enabled, kMaxWireWeapons, false, [&a](auto& flag) { a.Byte(flag, 1); });
  } else if constexpr (std::is_same_v<T, MsgKilledBy> || std::is_same_v<T, MsgSettingRequest>) {
    a.Long(m.PlayerID, 1);
  } else if constexpr (std::is_same_v<T, MsgScore>) {
    a.Long(m.PlayerID, 1);
    a.Long(m.Score, 0, kMaxScore);
    a.Single(m.HeldTime, 0.0f, kMaxHeldTime);
    a.Byte(m.Team, 1);
  } else if constexpr (std::is_same_v<T, MsgSetting>) {
    a.Byte(m.ModeIndex, kMaxModeIndex);
    a.Text(m.ModeName, kMaxModeNameBytes);
    a.Byte(m.WinRule, 1);
    a.Long(m.LimTank, 1, kMaxLimit);
    a.Long(m.LimTime, 1, kMaxLimit);
    a.Text(m.MapName, kMaxMapNameBytes);
    a.Long(m.Money, 0, kMaxMoney);
    a.Long(m.BattleTime, 0);
    a.Byte(m.RequesterTeam, 1);
    a.Long(m.SenderID, 1);
    a.List(m.Buildings, kMaxWireBuildings, true, building);
    a.Again(m.SenderID);
  } else if constexpr (std::is_same_v<T, MsgBuildState>) {
    a.List(m.Buildings, kMaxWireBuildings, true, building);
    a.Long(m.SenderID, 1);
  } else {
    static_assert(std::is_same_v<T, MsgQuit> || std::is_same_v<T, MsgInfoRequest>);
  }
}

constexpr GameMessageType kTypes[] = {
    GameMessageType::TankInfo,    GameMessageType::TankState, GameMessageType::Join,
    GameMessageType::Quit,        GameMessageType::Control,   GameMessageType::InfoRequest,
    GameMessageType::KilledBy,    GameMessageType::Score,     GameMessageType::SettingRequest,
    GameMessageType::Setting,     GameMessageType::BuildState,
};
static_assert(std::size(kTypes) == std::variant_size_v<GameMessage>);

template <size_t I = 0>
std::optional<GameMessage> DecodeAs(size_t index, Reader& r) {
  if constexpr (I < std::variant_size_v<GameMessage>) {
    if (index != I) return DecodeAs<I + 1>(index, r);
    std::variant_alternative_t<I, GameMessage> m;
    Fields(r, m);
    if (!r.AtEnd()) return std::nullopt;
    return GameMessage{std::move(m)};
  } else {
    return std::nullopt;
  }
}

}  // namespace

GameMessageType TypeOf(const GameMessage& m) { return kTypes[m.index()]; }

std::optional<GameMessage> DecodeGameMessage(std::span<const uint8_t> bytes) {
  Reader r(bytes);
  int32_t type = 0;
  r.Long(type);
  if (!r.ok) return std::nullopt;
  for (size_t i = 0; i < std::size(kTypes); ++i) {
    if (static_cast<int32_t>(kTypes[i]) == type) return DecodeAs(i, r);
  }
  return std::nullopt;
}

std::optional<MessageBytes> EncodeGameMessage(const GameMessage& m) {
  Writer w;
  w.Fixed(static_cast<int32_t>(TypeOf(m)));
  std::visit([&w](const auto& msg) { Fields(w, msg); }, m);
  if (!w.ok) return std::nullopt;
  return std::move(w.out);
}

}  // namespace fw
