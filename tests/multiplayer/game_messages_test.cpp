#include "multiplayer/battle/game_messages.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace fw {
namespace {

WireWeapon Cannon() {
  return WireWeapon{1.5f, 40, 7, 0.0f, -90, 2.25f, "\xbb\xf0\xc5\xda", 2, 35, 400, 9.0f, 3};
}

WireBuilding Base(const char* key, int32_t hp) { return WireBuilding{key, hp, 2560, 1920, 12.5f}; }

MsgSetting Settings() {
  MsgSetting m;
  m.ModeIndex = 1;
  m.ModeName = "Base Defensing";
  m.WinRule = 1;
  m.LimTank = 50;
  m.LimTime = 20;
  m.MapName = "net01.inf";
  m.Money = 10000;
  m.BattleTime = 300;
  m.RequesterTeam = 1;
  m.SenderID = 2;
  m.Buildings = {Base("587", 900), Base("", 0), Base("580", -3)};
  return m;
}

MsgTankInfo TankWith(std::vector<WireWeapon> weapons) {
  MsgTankInfo m{0.5f, 3.0f, 270.0f, "tank03", 800.0f, 1.5f, 200.0f, 0.75f, 6.0f, 1000.0f, -0.0f, {}};
  m.Weapons = std::move(weapons);
  return m;
}

// One of every type the game sends, with awkward but valid values.
std::vector<GameMessage> Samples() {
  return {
      TankWith({}),
      TankWith({Cannon()}),
      TankWith({Cannon(), Cannon(), Cannon()}),
      MsgTankState{10.0f, 20.0f, -1.0f, 359.5f, 100.0f, 0.0f, -32768.0f, 1, 1},
      MsgJoin{1},
      MsgQuit{},
      MsgControl{2, 1, 0, -50, 1, 4000.0f, 3000.0f, -1, {}},
      MsgControl{1, 0, 1, 100, 0, 0.0f, 0.0f, 7, {1, 0, 1}},
      MsgInfoRequest{},
      MsgKilledBy{3},
      MsgScore{2, 12, 95.5f, 0},
      MsgSettingRequest{4},
      Settings(),
      MsgSetting{0, "", 0, 1, 1, "", 0, 0, 0, 1, {}},
      MsgBuildState{{Base("12", 32767)}, 9},
      MsgBuildState{{}, 1},
  };
}

MessageBytes Bytes(const GameMessage& m) {
  auto b = EncodeGameMessage(m);
  EXPECT_TRUE(b.has_value()) << "type " << static_cast<int>(TypeOf(m));
  return b.value_or(MessageBytes{});
}

void PutLong(MessageBytes& b, size_t at, int32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k));
}

void PutSingle(MessageBytes& b, size_t at, float v) {
  uint32_t u = 0;
  std::memcpy(&u, &v, 4);
  PutLong(b, at, static_cast<int32_t>(u));
}

TEST(GameMessages, EverySampleRoundTripsAndIsRefusedCutOrExtended) {
  for (const GameMessage& m : Samples()) {
    const MessageBytes b = Bytes(m);
    const auto back = DecodeGameMessage(b);
    ASSERT_TRUE(back.has_value()) << "type " << static_cast<int>(TypeOf(m));
    EXPECT_EQ(*back, m);
    EXPECT_EQ(EncodeGameMessage(*back), b);
    for (size_t n = 0; n < b.size(); ++n) {
      EXPECT_FALSE(DecodeGameMessage(std::span(b.data(), n)).has_value())
          << "type " << static_cast<int>(TypeOf(m)) << " cut to " << n;
    }
    MessageBytes longer = b;
    longer.push_back(0);
    EXPECT_FALSE(DecodeGameMessage(longer).has_value()) << "type " << static_cast<int>(TypeOf(m));
  }
}

TEST(GameMessages, LayoutIsTheGamesFieldOrder) {
  // Type, then little-endian fields; a tank without weapons has a zero count
  // right before the end marker 55555.
  EXPECT_EQ(Bytes(MsgJoin{1}), (MessageBytes{3, 0, 0, 0, 1}));
  EXPECT_EQ(Bytes(MsgScore{2, 12, 1.0f, 1}), (MessageBytes{8, 0, 0, 0, 2, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0x80, 0x3F, 1}));
  const MessageBytes tank = Bytes(TankWith({}));
  EXPECT_EQ(MessageBytes(tank.end() - 5, tank.end()), (MessageBytes{0, 0x03, 0xD9, 0, 0}));
  EXPECT_EQ(Bytes(TankWith({Cannon()})).size(), tank.size() + 4 * 10 + 1 + 1 + Cannon().Key.size());
}

// Each row spoils one field of a valid message; the whole message is refused.
TEST(GameMessages, RefusesOutOfRangeValues) {
  struct Row {
    const char* what;
    GameMessage base;
    size_t at;  // byte offset of the field
    int kind;   // 0 byte, 1 long, 2 single
    double value;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const size_t tankFloats = 4 * 4 + 1 + 6;       // after "tank03"
  const size_t winRule = 4 + 1 + 1 + 14;         // after "Base Defensing"
  const std::vector<Row> rows = {
      {"MoveFB 3", MsgControl{}, 4, 0, 3},
      {"TurnL 255", MsgControl{}, 6, 0, 255},
      {"throttle 101", MsgControl{}, 7, 1, 101},
      {"throttle -51", MsgControl{}, 7, 1, -51},
      {"Fire 2", MsgControl{}, 11, 0, 2},
      {"aim NaN", MsgControl{}, 12, 2, nan},
      {"target owner -2", MsgControl{}, 20, 1, -2},
      {"weapon flag 2", MsgControl{0, 0, 0, 0, 0, 0, 0, -1, {1, 0}}, 26, 0, 2},
      {"state team 2", MsgTankState{}, 32, 0, 2},
      {"state active 2", MsgTankState{}, 33, 0, 2},
      {"state hull above 16 bits", MsgTankState{}, 28, 2, 32768},
      {"state position infinite", MsgTankState{}, 4, 2, inf},
      {"join team 2", MsgJoin{}, 4, 0, 2},
      {"killed-by id 0", MsgKilledBy{1}, 4, 1, 0},
      {"score id -1", MsgScore{1, 0, 0, 0}, 4, 1, -1},
      {"score negative", MsgScore{1, 0, 0, 0}, 8, 1, -1},
      {"score above the cap", MsgScore{1, 0, 0, 0}, 8, 1, kMaxScore + 1},
      {"held time negative", MsgScore{1, 0, 0, 0}, 12, 2, -0.5},
      {"held time NaN", MsgScore{1, 0, 0, 0}, 12, 2, nan},
      {"held time above the cap", MsgScore{1, 0, 0, 0}, 12, 2, kMaxHeldTime * 2},
      {"request id 0", MsgSettingRequest{1}, 4, 1, 0},
      {"tank energy above 16 bits", TankWith({}), tankFloats, 2, 40000},
      {"tank end marker", TankWith({}), tankFloats + 7 * 4 + 1, 1, 55554},
      {"weapon ammo above 16 bits", TankWith({Cannon()}), tankFloats + 7 * 4 + 1 + 4, 1, 32768},
      {"build state sender 0", MsgBuildState{{}, 1}, 8, 1, 0},
      {"mode index 4", Settings(), 4, 0, 4},
      {"win rule 2", Settings(), winRule, 0, 2},
      {"score limit 1000", Settings(), winRule + 1, 1, 1000},
      {"time limit 0", Settings(), winRule + 5, 1, 0},
      {"second sender id differs", Settings(), Bytes(Settings()).size() - 4, 1, 3},
  };
  for (const Row& row : rows) {
    MessageBytes b = Bytes(row.base);
    ASSERT_LE(row.at + (row.kind == 0 ? 1 : 4), b.size()) << row.what;
    if (row.kind == 0) b[row.at] = static_cast<uint8_t>(row.value);
    else if (row.kind == 1) PutLong(b, row.at, static_cast<int32_t>(row.value));
    else PutSingle(b, row.at, static_cast<float>(row.value));
    EXPECT_FALSE(DecodeGameMessage(b).has_value()) << row.what;
  }
}

TEST(GameMessages, RefusesCountsAndTextsAboveTheirCaps) {
  // A building count far above the cap is refused before anything is sized.
  EXPECT_FALSE(DecodeGameMessage(MessageBytes{13, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}).has_value());
  MsgBuildState many{std::vector<WireBuilding>(kMaxWireBuildings, Base("1", 1)), 1};
  EXPECT_TRUE(DecodeGameMessage(Bytes(many)).has_value());
  many.Buildings.push_back(Base("1", 1));
  EXPECT_FALSE(EncodeGameMessage(many).has_value());
  MessageBytes b = Bytes(TankWith({}));
  b[b.size() - 5] = static_cast<uint8_t>(kMaxWireWeapons + 1);  // the weapon count
  EXPECT_FALSE(DecodeGameMessage(b).has_value());

  MsgTankInfo named = TankWith({});
  named.Picture.assign(kMaxPictureNameBytes, 'a');
  EXPECT_TRUE(EncodeGameMessage(named).has_value());
  named.Picture.push_back('a');
  EXPECT_FALSE(EncodeGameMessage(named).has_value());
  MessageBytes cut = Bytes(TankWith({}));
  cut[4 * 3 + 4 + 1 + 5] = 0xbb;  // "tank03" now ends inside a double-byte character
  EXPECT_FALSE(DecodeGameMessage(cut).has_value());
}

TEST(GameMessages, TypesNobodySendsAreRefused) {
  for (int32_t type : {0, 9, 12, 14, 10001, 10002, -1}) {
    MessageBytes b(8, 0);
    PutLong(b, 0, type);
    PutLong(b, 4, 1);
    EXPECT_FALSE(DecodeGameMessage(std::span(b.data(), 4)).has_value()) << type;
    EXPECT_FALSE(DecodeGameMessage(b).has_value()) << type;
  }
}

}  // namespace
}  // namespace fw
