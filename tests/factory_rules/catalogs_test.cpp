// The two equipment catalogues: fields, kinds, and rows that are left out.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <tuple>

#include "data/table_reader.hpp"
#include "engine/globals.hpp"
#include "factory/rules/catalogs.hpp"
#include "tests/data/data_test_support.hpp"
#include "tests/factory_rules/factory_rules_support.hpp"

namespace {

using factorytest::Catalogs;

TEST(FactoryCatalogs, WeaponRowFillsEveryFieldInOrder) {
  auto c = Catalogs();
  ASSERT_EQ(c.WeaponCatalog.Count(), 8);
  EXPECT_TRUE(c.Problems.empty());
  // Each column lands in its own field: the row's values are all distinct.
  const fw::Weapon& m = *c.WeaponCatalog.Item("missile a");  // keys ignore case
  const auto got = std::make_tuple(m.Key, m.Speed, m.Agile, m.Range, m.FirePower, m.Path, m.Ammo, m.Cost, m.Weight,
                                   m.ClipID, m.TargetTank);
  EXPECT_EQ(got, std::make_tuple(std::string("Missile A"), 8.0f, 2.5f, 600, int16_t{80}, 2, int16_t{12}, 120, 15,
                                 int16_t{6}, std::string("missile.x")));
  EXPECT_FLOAT_EQ(c.WeaponCatalog.Item("Laser")->Energy, 5);
  EXPECT_FLOAT_EQ(c.WeaponCatalog.Item("Laser")->FireSpeed, 0.5f);
  EXPECT_EQ(c.WeaponCatalog.Item("Missile Launcher")->FireAngle, 20);
}

TEST(FactoryCatalogs, EquipmentValuesGoByTheKindWordsOfTheName) {
  auto c = Catalogs(factorytest::kWeapons,
                    std::string(factorytest::kEquipment) +
                        "\"odd shield\",\"s.x\",7,1,10,5,\"\"\r\n"
                        "\"Tank Engine\",\"te.x\",3,0.75,10,5,\"TE\"\r\n");
  const fw::Tank& scout = *c.EquipmentCatalog.Item("Scout Tank");
  EXPECT_EQ(scout.ClipID, "scout.x");
  EXPECT_EQ(scout.TurrentClipID, "ScoutPic");
  EXPECT_FLOAT_EQ(scout.Energy, 1000);  // price
  EXPECT_FLOAT_EQ(scout.Shield, 100);   // carrying capacity
  EXPECT_FLOAT_EQ(scout.HeadAngle(), 2);
  EXPECT_FLOAT_EQ(scout.Agile, 1.5f);
  EXPECT_EQ(scout.HP, 100);
  EXPECT_EQ(scout.DescRECT().Right, 80);
  EXPECT_EQ(scout.DescRECT().Bottom, 60);
  // Halves round to the even neighbour.
  EXPECT_EQ(c.EquipmentCatalog.Item("Basic Shield")->ShieldFull, 120);
  EXPECT_EQ(c.EquipmentCatalog.Item("Strong Shield")->ShieldFull, 122);
  EXPECT_FLOAT_EQ(c.EquipmentCatalog.Item("Strong Shield")->ShieldSpeed, 3);
  EXPECT_EQ(c.EquipmentCatalog.Item("Fusion Reactor")->EnergyFull, 200);
  EXPECT_FLOAT_EQ(c.EquipmentCatalog.Item("Turbo Engine")->TopSpeed, 5);
  EXPECT_FLOAT_EQ(c.EquipmentCatalog.Item("Turbo Engine")->Accelerate, 0.4f);
  // The reader's kind test ignores case; both kinds' values when the name
  // holds two words.
  EXPECT_EQ(c.EquipmentCatalog.Item("odd shield")->ShieldFull, 7);
  const fw::Tank& te = *c.EquipmentCatalog.Item("Tank Engine");
  EXPECT_FLOAT_EQ(te.TopSpeed, 3);
  EXPECT_FLOAT_EQ(te.HeadAngle(), 3);
  EXPECT_FLOAT_EQ(te.Agile, 0.75f);
  EXPECT_FLOAT_EQ(te.Accelerate, 0.75f);
}

TEST(FactoryCatalogs, BadRowsAreReportedWithFileAndRowAndTheRestIsRead) {
  const std::string weapons =
      "\"Laser\",12,0,250,10,0.5,5,0,1,0,150,10,2,\"laser.x\"\r\n"
      "\"Short\",1,2,3\r\n"                                               // too few fields
      "\"Long\",1,0,1,1,1,0,0,1,0,1,1,1,\"x.x\",\"extra\"\r\n"            // too many
      "\"Bad\",fast,0,1,1,1,0,0,1,0,1,1,1,\"x.x\"\r\n"                    // not a number
      "\"Wide\",1,0,1,40000,1,0,0,1,0,1,1,1,\"x.x\"\r\n"                  // Integer out of range
      "\"Path\",1,0,1,1,1,0,0,300,0,1,1,1,\"x.x\"\r\n"                    // Byte out of range
      "\"Free\",1,0,1,1,1,0,0,1,0,-5,1,1,\"x.x\"\r\n"                     // negative price
      "\"LASER\",1,0,1,1,1,0,0,1,0,1,1,1,\"x.x\"\r\n"                     // duplicate name
      "\"\",1,0,1,1,1,0,0,1,0,1,1,1,\"x.x\"\r\n"                          // no name
      "\"Away\",1,0,1,1,1,0,0,1,0,1,1,1,\"..\\\\User.INI\"\r\n"             // model outside the copies
      "\r\n"
      "\"Rocket B\",9,1.5,450,50,0,0,0,3,20,90,12,7,\"rocket.x\"\r\n";
  const std::string equipment =
      "\"Scout Tank\",\"scout.x\",2,1.5,1000,100,\"ScoutPic\"\r\n"
      "\"Scout Tank\",\"other.x\",5,1,1,1,\"Other\"\r\n"
      "\"Huge Shield\",\"s.x\",40000,1,1,1,\"\"\r\n"
      "\"Heavy Tank\",\"heavy.x\",4,0.8,3000,-1,\"HeavyPic\"\r\n"
      "\"Small Engine\",\"engine.x\",3,0.2,300,25,\"\"";  // no line end at the end
  auto c = Catalogs(weapons, equipment);
  EXPECT_EQ(c.WeaponCatalog.Count(), 2);
  EXPECT_TRUE(c.WeaponCatalog.Item("Rocket B"));
  EXPECT_FLOAT_EQ(c.WeaponCatalog.Item("Laser")->Speed, 12);  // the first row of a name stands
  ASSERT_EQ(c.EquipmentCatalog.Count(), 2);
  EXPECT_EQ(c.EquipmentCatalog.Item(1)->Key, "Scout Tank");
  EXPECT_EQ(c.EquipmentCatalog.Item(1)->ClipID, "scout.x");
  EXPECT_EQ(c.EquipmentCatalog.Item(2)->Key, "Small Engine");

  std::vector<int> weaponRows, equipmentRows;
  for (const auto& p : c.Problems) (p.File == "UserWeapon.ini" ? weaponRows : equipmentRows).push_back(p.Row);
  EXPECT_EQ(weaponRows, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(equipmentRows, (std::vector<int>{2, 3, 4}));
  const std::string text = c.ProblemText();
  EXPECT_NE(text.find("Equment.ini row 2: the name \"Scout Tank\" is already in the catalogue"), std::string::npos)
      << text;
  EXPECT_NE(text.find("UserWeapon.ini row 7: the price is negative"), std::string::npos) << text;
}

TEST(FactoryCatalogs, EmptyFilesGiveEmptyCatalogues) {
  auto c = Catalogs("", "\r\n");
  EXPECT_EQ(c.WeaponCatalog.Count(), 0);
  EXPECT_EQ(c.EquipmentCatalog.Count(), 0);
  EXPECT_TRUE(c.Problems.empty());
}

TEST(FactoryCatalogs, ReadFromTheArchiveRemovesTheCopiesAndReportsAMissingFile) {
  fwtest::TempProgramFolder dir;
  datatest::MakeDataArchive(dir, {{"UserWeapon.ini", factorytest::kWeapons}});
  fw::LastError.clear();
  fw::FactoryCatalogs c;
  c.Read();
  EXPECT_EQ(c.WeaponCatalog.Count(), 8);
  EXPECT_EQ(c.EquipmentCatalog.Count(), 0);
  ASSERT_EQ(c.Problems.size(), 1u);
  EXPECT_EQ(c.Problems[0].File, "Equment.ini");
  EXPECT_EQ(fw::LastError, "Equment.ini: the file is missing from the archive");
  EXPECT_EQ(datatest::LooseFiles(dir), 0);
}

// A table the directory lists but whose bytes do not come out is not
// called missing: the fault lies with the archive's data file or the disk,
// and the player must look there. Each case reads in a child, where the
// file size limit cannot reach the test's own files; the weapons table
// fails, the equipment table beside it is read.
TEST(FactoryCatalogs, ATableListedButUnreadableIsNotCalledMissing) {
  using Folder = fwtest::TempProgramFolder;
  const struct {
    const char* what;
    std::function<void(const Folder&)> fault;
  } cases[] = {
      {"the weapons cut short by a byte at the end of Data.PAK",
       [](const Folder& dir) {
         const auto weapons = fw::DataPack->PackFiles->Item("UserWeapon.ini");
         std::filesystem::resize_file(dir.File("Data.PAK"), weapons->StartPos - 1 + weapons->FileSize - 1);
       }},
      {"a file size limit (ulimit -f) between the two tables' sizes",
       [](const Folder&) {
         std::signal(SIGXFSZ, SIG_IGN);  // as the game does, so a write fails instead
         const rlim_t bytes =
             (std::string(factorytest::kWeapons).size() + std::string(factorytest::kEquipment).size()) / 2;
         const rlimit small{bytes, bytes};
         setrlimit(RLIMIT_FSIZE, &small);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Folder dir;
    datatest::MakeDataArchive(dir,
                              {{"UserWeapon.ini", factorytest::kWeapons}, {"Equment.ini", factorytest::kEquipment}});
    EXPECT_EXIT(
        {
          c.fault(dir);
          fw::FactoryCatalogs catalogs;
          catalogs.Read();
          std::cerr << "<" << catalogs.WeaponCatalog.Count() << " and " << catalogs.EquipmentCatalog.Count() << ": "
                    << catalogs.ProblemText() << ">";
          std::exit(datatest::LooseFiles(dir) == 0 && fw::LastError == catalogs.Problems.front().Text() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "<0 and 8: UserWeapon\\.ini: the file cannot be read from the archive>");
  }
}

TEST(FactoryCatalogs, GetEQUStyleLooksAtOwnedAndFittedItems) {
  fw::UsersClass users;
  factorytest::Player(users, 0);
  users.UserEQU->Add("", fw::kKindWeapon, "Laser", 0);
  EXPECT_FALSE(fw::GetEQUStyle(users, fw::kKindTank));
  EXPECT_TRUE(fw::GetEQUStyle(users, fw::kKindWeapon));
  users.NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  EXPECT_TRUE(fw::GetEQUStyle(users, fw::kKindTank));
}

}  // namespace
