#pragma once
// A save of the profiles that must keep a player's file aside before it
// goes on, for the screens that tell the copy: another profile's owed goods
// going out over a goods file the player changed.
#include <filesystem>
#include <fstream>
#include <string>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/files.hpp"

namespace datatest {

// What a board tells of that copy: the profile's name in UTF-8, letters
// outside ASCII included.
inline const std::string kKeptForOwedGoods =
    "save/user2.DAT changed since the game read it: it is kept aside as save/user2.DAT.changed-1 before the goods of "
    "profile 2 (张三) are saved.";

// Profile 2, named 张三, owes a Laser (its step put the money in User.INI,
// then its goods' rename failed), and the player has put a goods file of
// his own at save/user2.DAT since. The next save of the profiles, whichever
// profile is current, keeps that file aside. `users` has File set; its
// current profile and file are given back, their lists empty. False where
// the purchase did not end half-landed.
inline bool OweGoodsOverThePlayersFile(fw::UsersClass& users) {
  const int32_t now = users.NowUser;
  const std::string file = users.EQUFile;
  plat::MakeDir(fw::AppPath + "\\save");
  users.Item(2)->Name = plat::FromUtf8("张三");
  users.NowUser = 2;
  users.EQUFile = fw::AppPath + "\\save\\user2.DAT";
  users.UserEQU->RemoveAll();
  users.NowEQU->RemoveAll();
  const bool saved = users.SaveMoneyAndGoods();
  users.UserEQU->Add("", 1, "Laser", 0);
  users.NowItem()->Money -= 150;
  plat::FailNextAtomicRename(2);  // the journal's, User.INI's, then the goods'
  const bool halfLanded = saved && !users.SaveMoneyAndGoods();
  const std::string native = plat::NativePath(users.EQUFile);
  std::filesystem::remove(native);
  std::ofstream(native, std::ios::binary) << "\"Mine\",1,0\r\n";
  users.NowUser = now;
  users.EQUFile = file;
  users.UserEQU->RemoveAll();
  users.NowEQU->RemoveAll();
  fw::LastError.clear();
  return halfLanded;
}

}  // namespace datatest
