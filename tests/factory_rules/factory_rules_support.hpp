#pragma once
// A small pair of catalogues with every kind of item the rules tell apart,
// and a player to spend on them.
#include <map>
#include <string>
#include <utility>

#include "data/users.hpp"
#include "factory/rules/catalogs.hpp"
#include "platform/runtime/text_records.hpp"

namespace factorytest {

// name, speed, agility, range, power, rate, energy, angle, path, rounds,
// price, weight, shot kind, model.
inline const char* const kWeapons =
    "\"Light Cannon\",6,0,300,20,1.5,0,10,1,0,100,20,1,\"cannon.x\"\r\n"
    "\"Heavy Cannon\",5,0,350,40,1,0,10,1,0,300,40,1,\"hcannon.x\"\r\n"
    "\"Laser\",12,0,250,10,0.5,5,0,1,0,150,10,2,\"laser.x\"\r\n"
    "\"Missile Launcher\",1,0,100,1,2,0,20,1,0,200,30,3,\"mlaunch.x\"\r\n"
    "\"Rocket Launcher\",2,0,120,2,1.2,0,15,1,0,180,25,4,\"rlaunch.x\"\r\n"
    "\"Artillery Shell\",0,0,500,60,0,0,0,1,40,50,10,5,\"shell.x\"\r\n"
    "\"Missile A\",8,2.5,600,80,0,0,0,2,12,120,15,6,\"missile.x\"\r\n"
    "\"Rocket B\",9,1.5,450,50,0,0,0,3,20,90,12,7,\"rocket.x\"\r\n";

// name, model, value A, value B, price, weight (capacity of a hull),
// battle picture.
inline const char* const kEquipment =
    "\"Scout Tank\",\"scout.x\",2,1.5,1000,100,\"ScoutPic\"\r\n"
    "\"Heavy Tank\",\"heavy.x\",4,0.8,3000,250,\"HeavyPic\"\r\n"
    "\"Titan Tank\",\"titan.x\",9,0.5,9000,600,\"TitanPic\"\r\n"
    "\"Basic Shield\",\"shield.x\",120.5,2,400,30,\"\"\r\n"
    "\"Strong Shield\",\"shield2.x\",121.5,3,800,50,\"\"\r\n"
    "\"Small Engine\",\"engine.x\",3,0.2,300,25,\"\"\r\n"
    "\"Turbo Engine\",\"engine2.x\",5,0.4,700,35,\"\"\r\n"
    "\"Fusion Reactor\",\"reactor.x\",200,4,600,40,\"\"\r\n";

inline fw::FactoryCatalogs Catalogs(const std::string& weapons = kWeapons, const std::string& equipment = kEquipment) {
  fw::FactoryCatalogs c;
  plat::TextRecordReader w(weapons), e(equipment);
  c.ReadWeaponRows(w);
  c.ReadEquipmentRows(e);
  return c;
}

// A player at profile 1 with the money given and empty lists.
inline void Player(fw::UsersClass& users, int32_t money) {
  users.NowUser = 1;
  users.NowItem()->Money = money;
  users.UserEQU->RemoveAll();
  users.NowEQU->RemoveAll();
}

// The lists as text, one item a line: "O kind name" for owned items, then
// "F kind name color" for fitted ones.
inline std::string Lists(fw::UsersClass& users) {
  std::string s;
  for (const auto& i : *users.UserEQU) s += "O " + std::to_string(i->Index) + " " + i->ID + "\n";
  for (const auto& i : *users.NowEQU)
    s += "F " + std::to_string(i->Index) + " " + i->ID + " " + std::to_string(i->color) + "\n";
  return s;
}

// What the player has: every owned item and every fitted one but the hull,
// which is one of the owned hulls. By kind and name, with counts.
using Goods = std::map<std::pair<int32_t, std::string>, int>;
inline Goods GoodsOf(fw::UsersClass& users) {
  Goods g;
  for (const auto& i : *users.UserEQU) ++g[{i->Index, i->ID}];
  for (const auto& i : *users.NowEQU)
    if (i->Index != fw::kKindTank) ++g[{i->Index, i->ID}];
  return g;
}

}  // namespace factorytest
