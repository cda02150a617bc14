#include "multiplayer/game_messages.hpp"

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
  // right before the end marker.
  const MessageBytes join = Bytes(MsgJoin{1});
  EXPECT_EQ(join, (MessageBytes{3, 0, 0, 0, 1}));
  const MessageBytes tank = Bytes(TankWith({}));
  ASSERT_GE(tank.size(), 9u);
  EXPECT_EQ(tank[tank.size() - 5], 0);  // the weapon count
  const MessageBytes marker(tank.end() - 4, tank.end());
  EXPECT_EQ(marker, (MessageBytes{0x03, 0xD9, 0, 0}));  // 55555
  const MessageBytes one = Bytes(TankWith({Cannon()}));
  EXPECT_EQ(one.size(), tank.size() + 4 * 10 + 1 + 1 + Cannon().Key.size());
  const MessageBytes score = Bytes(MsgScore{2, 12, 1.0f, 1});
  EXPECT_EQ(score, (MessageBytes{8, 0, 0, 0, 2, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0x80, 0x3F, 1}));
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
  const std::vector<Row> rows = {
      {"MoveFB 3", MsgControl{}, 4, 0, 3},
      {"TurnR 2", MsgControl{}, 5, 0, 2},
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
      {"state shield NaN", MsgTankState{}, 24, 2, nan},
      {"join team 2", MsgJoin{}, 4, 0, 2},
      {"killed-by id 0", MsgKilledBy{1}, 4, 1, 0},
      {"score id -1", MsgScore{1, 0, 0, 0}, 4, 1, -1},
      {"score negative", MsgScore{1, 0, 0, 0}, 8, 1, -1},
      {"held time negative", MsgScore{1, 0, 0, 0}, 12, 2, -0.5},
      {"held time NaN", MsgScore{1, 0, 0, 0}, 12, 2, nan},
      {"request id 0", MsgSettingRequest{1}, 4, 1, 0},
      {"tank energy above 16 bits", TankWith({}), 4 * 4 + 1 + 6, 2, 40000},
      {"tank end marker", TankWith({}), 4 * 4 + 1 + 6 + 7 * 4 + 1, 1, 55554},
      {"weapon ammo above 16 bits", TankWith({Cannon()}), 4 * 4 + 1 + 6 + 7 * 4 + 1 + 4, 1, 32768},
      {"build state sender 0", MsgBuildState{{}, 1}, 8, 1, 0},
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

TEST(GameMessages, RefusesSettingsOutOfRange) {
  // Offsets after the mode name "Base Defensing" (14 bytes) of Settings().
  const size_t winRule = 4 + 1 + 1 + 14;
  struct Row {
    const char* what;
    size_t at;
    int kind;
    int32_t value;
  };
  const std::vector<Row> rows = {
      {"mode index 4", 4, 0, 4},
      {"win rule 2", winRule, 0, 2},
      {"score limit 0", winRule + 1, 1, 0},
      {"score limit 1000", winRule + 1, 1, 1000},
      {"time limit 0", winRule + 5, 1, 0},
      {"time limit negative", winRule + 5, 1, -5},
  };
  for (const Row& row : rows) {
    MessageBytes b = Bytes(Settings());
    if (row.kind == 0) b[row.at] = static_cast<uint8_t>(row.value);
    else PutLong(b, row.at, row.value);
    EXPECT_FALSE(DecodeGameMessage(b).has_value()) << row.what;
  }
  // The two sender ids around the table must agree.
  MessageBytes b = Bytes(Settings());
  PutLong(b, b.size() - 4, 3);
  EXPECT_FALSE(DecodeGameMessage(b).has_value());
}

TEST(GameMessages, RefusesCountsAndTextsAboveTheirCaps) {
  // A building count far above the cap is refused before anything is sized.
  MessageBytes huge = {13, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_FALSE(DecodeGameMessage(huge).has_value());
  MsgBuildState many;
  many.SenderID = 1;
  many.Buildings.assign(kMaxWireBuildings, Base("1", 1));
  EXPECT_TRUE(DecodeGameMessage(Bytes(many)).has_value());
  many.Buildings.push_back(Base("1", 1));
  EXPECT_FALSE(EncodeGameMessage(many).has_value());

  MsgTankInfo armed = TankWith(std::vector<WireWeapon>(kMaxWireWeapons, Cannon()));
  EXPECT_TRUE(EncodeGameMessage(armed).has_value());
  armed.Weapons.push_back(Cannon());
  EXPECT_FALSE(EncodeGameMessage(armed).has_value());
  // The same count forced into the bytes.
  MessageBytes b = Bytes(TankWith({}));
  b[b.size() - 5] = static_cast<uint8_t>(kMaxWireWeapons + 1);
  EXPECT_FALSE(DecodeGameMessage(b).has_value());

  MsgTankInfo named = TankWith({});
  named.Picture.assign(kMaxPictureNameBytes, 'a');
  EXPECT_TRUE(EncodeGameMessage(named).has_value());
  named.Picture.push_back('a');
  EXPECT_FALSE(EncodeGameMessage(named).has_value());
  named.Picture = "tank\xbb";  // ends inside a double-byte character
  EXPECT_FALSE(EncodeGameMessage(named).has_value());
  MessageBytes cut = Bytes(TankWith({}));
  cut[4 * 3 + 4 + 1 + 5] = 0xbb;  // the last byte of "tank03" becomes a lead byte
  EXPECT_FALSE(DecodeGameMessage(cut).has_value());
}

TEST(GameMessages, TypesNobodySendsAreRefused) {
  for (int32_t type : {0, 9, 12, 14, 10001, 10002, -1}) {
    MessageBytes b(4);
    PutLong(b, 0, type);
    EXPECT_FALSE(DecodeGameMessage(b).has_value()) << type;
    b.resize(8, 0);
    PutLong(b, 4, 1);
    EXPECT_FALSE(DecodeGameMessage(b).has_value()) << type;
  }
}

TEST(GameMessages, EncodeRefusesWhatNoReceiverWouldTake) {
  EXPECT_FALSE(EncodeGameMessage(MsgJoin{2}).has_value());
  EXPECT_FALSE(EncodeGameMessage(MsgKilledBy{0}).has_value());
  EXPECT_FALSE(EncodeGameMessage(MsgScore{1, 0, std::nanf(""), 0}).has_value());
  MsgSetting s = Settings();
  s.Money = kMaxMoney + 1;
  EXPECT_FALSE(EncodeGameMessage(s).has_value());
  s = Settings();
  s.Buildings[0].HP = 40000;
  EXPECT_FALSE(EncodeGameMessage(s).has_value());
}

}  // namespace
}  // namespace fw
