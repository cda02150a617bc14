#include "battle/loaders.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "battle/masks.hpp"
#include "battle/roster.hpp"
#include "battle/surface_pictures.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/sound.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {
namespace {

constexpr uint16_t kBarColour = 0x07E0 & (63 << 5);  // RGB(0, 63, 0) in 5-6-5
constexpr int32_t kScreenRight = 640;

[[noreturn]] void BadAt(int line, const std::string& what) {
  throw plat::RuntimeError(plat::ErrorCode::TypeMismatch, "line " + std::to_string(line) + ": " + what);
}
[[noreturn]] void Bad(const plat::TextRecordReader& reader, const std::string& what) { BadAt(reader.Line(), what); }

// Fields with the line they stand on, so every error names its row.
std::string Str(plat::TextRecordReader& r) {
  const int line = r.Line();
  try {
    return r.ReadString();
  } catch (const plat::RuntimeError& e) {
    throw plat::RuntimeError(e.code(), "line " + std::to_string(line) + ": " + e.what());
  }
}

template <typename Read>
auto Num(plat::TextRecordReader& r, Read read) {
  const int line = r.Line();
  try {
    return read(r);
  } catch (const plat::RuntimeError& e) {
    throw plat::RuntimeError(e.code(), "line " + std::to_string(line) + ": " + e.what());
  }
}

int32_t Long(plat::TextRecordReader& r) { return Num(r, [](auto& x) { return x.ReadLong(); }); }
int16_t Integer(plat::TextRecordReader& r) { return Num(r, [](auto& x) { return x.ReadInteger(); }); }
float Single(plat::TextRecordReader& r) {
  const float v = Num(r, [](auto& x) { return x.ReadSingle(); });
  // Positions and speeds are made from these; a value that is no number
  // would poison every comparison of the battle.
  if (!std::isfinite(v)) Bad(r, "a number that is not finite");
  return v;
}

// A count of rows that follow: never negative, never absurd.
int32_t Count(plat::TextRecordReader& r, const char* what) {
  const int32_t n = Integer(r);
  if (n < 0 || n > kMaxSectionRows) Bad(r, std::string("bad ") + what + " count " + std::to_string(n));
  return n;
}

// A member's bytes, read in place from the archive (a copy on disk would be
// deleted right after); a missing member, or a name that is no bare file
// name, is an error naming the member.
std::optional<std::vector<uint8_t>> MemberBytes(qelPackage& pack, const std::string& member, LoadResult& result) {
  std::optional<std::vector<uint8_t>> bytes;
  try {
    bytes = pack.ReadMember(member);
  } catch (const plat::RuntimeError& e) {
    result = LoadResult::Fail(member + ": " + e.what());
    return std::nullopt;
  }
  if (!bytes) result = LoadResult::Fail(member + ": missing from the archive " + pack.File);
  return bytes;
}

// Runs a parser over one member of an archive, naming the member in any
// error. Copies other loaders left behind are deleted whatever happened.
LoadResult WithMember(qelPackage& pack, const std::string& member,
                      const std::function<void(plat::TextRecordReader&)>& read) {
  LoadResult result;
  if (auto bytes = MemberBytes(pack, member, result)) {
    plat::TextRecordReader reader(std::string(bytes->begin(), bytes->end()));
    try {
      read(reader);
    } catch (const plat::RuntimeError& e) {
      result = LoadResult::Fail(member + ", " + e.what());
    }
  }
  pack.RemoveTempFile();
  if (!result) LastError = "Unable to Read " + member;
  return result;
}

std::shared_ptr<Building> FindType(const BattleState& world, const std::string& key) {
  for (const auto& t : world.BuildingTypes)
    if (plat::EqualNoCase(t->Key, key)) return t;
  return nullptr;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

int32_t BarRight(int64_t right) { return static_cast<int32_t>(std::clamp<int64_t>(right, 200, kScreenRight)); }

// The last part of a game path ("\MapA\MapA" -> "MapA").
std::string BaseName(const std::string& path) {
  const size_t p = path.find_last_of("\\/");
  return p == std::string::npos ? path : path.substr(p + 1);
}

// A picture path: a leading "\" is under the program folder.
std::string Under(const std::string& path) { return !path.empty() && path[0] == '\\' ? AppPath + path : path; }

// The image-list index of a named picture, appending it from the
// catalogue when the list does not hold it yet; nullopt when the catalogue
// lacks it or the picture cannot be loaded.
std::optional<int32_t> CataloguePicture(BattleState& world, BattlePictures& pictures, const std::string& key,
                                        std::string& why) {
  for (size_t i = 0; i < world.Images.size(); ++i)
    if (world.Images[i].Name == key) return static_cast<int32_t>(i);
  const auto entry = world.Catalogue.Item(key);
  if (!entry) {
    why = "the picture \"" + key + "\" is not in the catalogue";
    return std::nullopt;
  }
  const int32_t i = LoadSurfList(world.Images, PictureList::Images, pictures, entry->FileName, entry->RepeatX,
                                 entry->RepeatY, key);
  if (i < 0) {
    why = "the picture " + entry->FileName + " cannot be loaded";
    return std::nullopt;
  }
  return i;
}

// The battle's fixed pictures: panel, grids, target marks, popup help and
// weapon numbers, each under its name in the image list.
const struct FixedPicture {
int32_t NamedPictures::*slot;
const char* name;
const char* file;
int32_t across, down;
} kFixedPictures[] = {
    {&NamedPictures::Panel, "Panel", "\\pic\\Panel1.bmp", 1, 1},
    {&NamedPictures::Panel2, "Panel2", "\\pic\\Panel2.bmp", 1, 1},
    {&NamedPictures::Grid1, "Grid1", "\\pic\\grid1.bmp", 1, 5},
    {&NamedPictures::Grid2, "Grid2", "\\pic\\grid2.bmp", 1, 5},
    {&NamedPictures::Grid3, "Grid3", "\\pic\\grid3.bmp", 1, 5},
    {&NamedPictures::Target, "Target", "\\pic\\Target.bmp", 7, 2},
    {&NamedPictures::Popup1, "Popup1", "\\pic\\Popuphelp1.bmp", 1, 7},
    {&NamedPictures::WeaponID, "WeaponID", "\\pic\\WeaponIndex1.bmp", 1, 6},
};

constexpr const char* kGirlPicture = "\\Hgirl.bmp";
constexpr const char* kWreckPictures[] = {"\\BrokenBuild1.bmp", "\\BrokenHold1.bmp"};

std::string TilePath(const std::string& name) { return AppPath + "\\" + name; }

// Every picture a map's load will take, in the order it takes them, so the
// picture store can decode them side by side while the loader and its bars
// go through them in turn. Decoding is most of a map's load.
std::vector<BattlePictures::Expected> PicturesOfLoad(const BattleState& world, const MapDescription& d) {
  std::vector<BattlePictures::Expected> all;
  for (const std::string& name : d.Tiles) all.push_back({TilePath(name), PictureArchive::MissionPack});
  for (const auto& row : d.BuildingRows) {
    const auto type = FindType(world, row.TypeKey);
    const auto entry = type ? world.Catalogue.Item(type->ClipStyle) : nullptr;
    if (entry) all.push_back({Under(entry->FileName), PictureArchive::Data});
  }
  for (int32_t p = 1; p <= world.Catalogue.Count(); ++p) {
    const auto e = world.Catalogue.Item(p);
    if (e->Index == kShotPictures) all.push_back({Under(e->FileName), PictureArchive::Data});
  }
  for (const auto& f : kFixedPictures) all.push_back({Under(f.file), PictureArchive::Data});
  all.push_back({Under(kGirlPicture), PictureArchive::Data});
  for (const char* w : kWreckPictures) all.push_back({Under(w), PictureArchive::Data});
  return all;
}

// Whatever was decoded ahead and not taken is dropped when the load ends,
// however it ends.
class ExpectedPictures {
 public:
  ExpectedPictures(BattlePictures& pictures, const std::vector<BattlePictures::Expected>& list) : pictures_(pictures) {
    pictures_.Expect(list);
  }
  ~ExpectedPictures() { pictures_.ForgetExpected(); }
  ExpectedPictures(const ExpectedPictures&) = delete;
  ExpectedPictures& operator=(const ExpectedPictures&) = delete;

 private:
  BattlePictures& pictures_;
};

}  // namespace

// ---------------------------------------------------------------- parsers

void ParseSoundTable(plat::TextRecordReader& reader, std::vector<SoundRow>& rows) {
  while (!reader.AtEnd()) {
    const int line = reader.Line();
    SoundRow row;
    row.Key = Str(reader);
    row.WaveFile = Str(reader);
    for (const SoundRow& r : rows)
      if (plat::EqualNoCase(r.Key, row.Key)) BadAt(line, "the sound \"" + row.Key + "\" is listed twice");
    rows.push_back(std::move(row));
  }
}

void ParseEnemyWeapons(plat::TextRecordReader& reader, WeaponClass& weapons) {
  while (!reader.AtEnd()) {
    const int line = reader.Line();
    const std::string key = Str(reader);
    // The table holds whole numbers where the weapon keeps Singles.
    const int32_t speed = Long(reader), agile = Long(reader), range = Long(reader), power = Long(reader);
    const float fireSpeed = Single(reader);
    const int32_t energy = Long(reader), angle = Long(reader), path = Long(reader), clip = Long(reader);
    if (weapons.Item(key)) BadAt(line, "the weapon \"" + key + "\" is listed twice");
    try {
      auto w = weapons.Add(key);
      w->Speed = static_cast<float>(speed);
      w->Agile = static_cast<float>(agile);
      w->Range = range;
      w->FirePower = plat::CInt(power);
      w->FireSpeed = fireSpeed;
      w->Energy = static_cast<float>(energy);
      w->FireAngle = plat::CInt(angle);
      w->Path = path;
      w->ClipID = plat::CInt(clip);
    } catch (const plat::RuntimeError& e) {
      throw plat::RuntimeError(e.code(), "line " + std::to_string(line) + ": " + e.what());
    }
  }
}

void ParseCatalogue(plat::TextRecordReader& reader, MapClipIndex& catalogue, int32_t group) {
  while (!reader.AtEnd()) {
    const int line = reader.Line();
    const std::string key = Str(reader);
    const int32_t rx = Long(reader), ry = Long(reader);
    const std::string file = Str(reader);
    const int32_t w = Long(reader), h = Long(reader);
    if (key.empty()) BadAt(line, "a picture without a key");
    if (catalogue.Item(key)) BadAt(line, "the picture key \"" + key + "\" is listed twice");
    // Drawing divides a picture into this grid.
    if (rx < 1 || ry < 1 || rx > 4096 || ry > 4096) BadAt(line, "the picture \"" + key + "\" has a bad cell grid");
    catalogue.Add(key, group, rx, ry, key, file, w, h);
  }
}

MapDescription ParseMapDescription(plat::TextRecordReader& reader) {
  MapDescription d;
  while (!reader.AtEnd()) {
    const std::string keyword = Str(reader);
    if (keyword == "Map") {
      const int16_t a = Integer(reader), b = Integer(reader);
      if (a < 1 || b < 1 || int32_t{a} * b > kMaxMapTiles) Bad(reader, "bad tile grid");
      d.HasMap = true;
      d.Columns = a;
      d.Rows = b;
      d.Tiles.clear();
      d.TileLines.clear();
      for (int32_t k = 0; k < int32_t{a} * b; ++k) {
        d.TileLines.push_back(reader.Line());
        d.Tiles.push_back(Str(reader));
      }
    } else if (keyword == "Building") {
      const int32_t n = Count(reader, "building");
      d.BuildingRows.clear();
      for (int32_t i = 0; i < n; ++i) {
        MapDescription::BuildingRow row;
        row.Line = reader.Line();
        row.TypeKey = Str(reader);
        row.X = Integer(reader);
        row.Y = Integer(reader);
        d.BuildingRows.push_back(std::move(row));
      }
    } else if (keyword == "Tank Model") {
      const int32_t n = Count(reader, "template");
      d.HasTankModels = true;
      d.TankModels.clear();
      for (int32_t i = 0; i < n; ++i) {
        MapDescription::TankModelRow t;
        t.Line = reader.Line();
        t.Key = Str(reader);
        t.ClipID = Str(reader);
        t.TopSpeed = Single(reader);
        t.Agile = Single(reader);
        t.Accelerate = Single(reader);
        t.ShieldFull = Integer(reader);
        t.ShieldSpeed = Single(reader);
        t.EnergyFull = Integer(reader);
        t.EnergySpeed = Single(reader);
        const int32_t w = Count(reader, "weapon");
        for (int32_t k = 0; k < w; ++k) {
          MapDescription::WeaponRow wr;
          wr.Line = reader.Line();
          wr.Key = Str(reader);
          wr.OffsetX = Long(reader);
          t.Weapons.push_back(std::move(wr));
        }
        d.TankModels.push_back(std::move(t));
      }
    } else if (keyword == "Navigation Spot") {
      const int32_t n = Count(reader, "navigation spot");
      d.HasSpots = true;
      d.Spots.clear();
      for (int32_t s = 0; s < n; ++s) {
        Str(reader);  // the spot's name is not kept
        const int32_t p = Count(reader, "point");
        NavigationSpot spot;
        for (int32_t k = 0; k < p; ++k) {
          PointL pt;
          pt.X = Long(reader);
          pt.Y = Long(reader);
          spot.Points.push_back(pt);
        }
        d.Spots.push_back(std::move(spot));
      }
    } else if (keyword == "Terrain") {
      const int32_t n = Count(reader, "terrain");
      for (int32_t i = 0; i < n; ++i) {
        MapDescription::TerrainRow t;
        t.Line = reader.Line();
        t.Area.Left = Long(reader);
        t.Area.Top = Long(reader);
        t.Area.Right = Long(reader);
        t.Area.Bottom = Long(reader);
        const float kind = Single(reader);
        if (!(kind > -0.5f && kind < 255.5f)) Bad(reader, "a terrain kind outside 0 to 255");
        t.Kind = plat::CByte(kind);
        t.Value = Single(reader);
        d.Terrains.push_back(t);
      }
    } else {
      break;  // an unknown keyword ends the description
    }
  }
  return d;
}

LoadResult ParseLandMask(std::string_view bytes, std::vector<uint8_t>& mask) {
  if (bytes.size() != static_cast<size_t>(kMaskBytes))
    return LoadResult::Fail("the land mask holds " + std::to_string(bytes.size()) + " bytes instead of " +
                            std::to_string(kMaskBytes));
  mask.assign(bytes.begin(), bytes.end());
  return {};
}

// ---------------------------------------------------------------- loaders

LoadResult LoadSound(BattleState& world) {
  std::vector<SoundRow> rows;
  LoadResult r = WithMember(*DataPack, "sound.ini", [&](plat::TextRecordReader& reader) { ParseSoundTable(reader, rows); });
  if (r) world.Sounds = std::move(rows);
  return r;
}

LoadResult LoadSoundChannels(const BattleState& world) {
  Sounds->RemoveAll();
  for (const SoundRow& row : world.Sounds) LoadWavFromPack(row.Key, row.WaveFile);
  DataPack->RemoveTempFile();
  return {};
}

LoadResult LoadEmyWeap(BattleState& world) {
  WeaponClass weapons;
  LoadResult r = WithMember(*DataPack, "Enemyweapon.ini", [&](plat::TextRecordReader& reader) { ParseEnemyWeapons(reader, weapons); });
  if (r) world.EnemyWeapons = std::move(weapons);
  return r;
}

LoadResult LoadImageInfo(BattleState& world) {
  MapClipIndex catalogue;
  const struct {
    const char* member;
    int32_t group;
  } tables[] = {{"tank.ini", kUnitPictures}, {"Weapon.ini", kShotPictures}, {"obj.ini", kObjectPictures}};
  for (const auto& t : tables) {
    LoadResult r = WithMember(*DataPack, t.member, [&](plat::TextRecordReader& reader) { ParseCatalogue(reader, catalogue, t.group); });
    if (!r) return r;
  }
  world.Catalogue = std::move(catalogue);
  return {};
}

LoadResult LoadBuildingTypes(BattleState& world) {
  Buildings types;
  LoadResult r = WithMember(*DataPack, "objinfo.ini", [&](plat::TextRecordReader& reader) { ReadObjInfoRows(reader, types); });
  if (r) world.BuildingTypes = std::move(types);
  return r;
}

int32_t LoadSurfList(std::vector<ImageRecord>& list, PictureList which, BattlePictures& pictures,
                     const std::string& gamePath, int32_t repeatX, int32_t repeatY, const std::string& name,
                     PictureArchive archive) {
  if (list.empty()) list.emplace_back();
  const int32_t n = static_cast<int32_t>(list.size());
  const auto size = pictures.Load(which, n, Under(gamePath), archive);
  if (!size) return -1;
  ImageRecord r;
  r.RepeatX = repeatX;
  r.RepeatY = repeatY;
  r.Name = name;
  r.FileName = gamePath;
  r.Width = size->Width;
  r.Height = size->Height;
  list.push_back(std::move(r));
  return n;
}

LoadResult ApplyMapDescription(BattleState& world, BattlePictures& pictures, LoadProgress& progress,
                            const MapDescription& d, const std::string& inf) {
  auto fail = [&](int line, const std::string& what) {
    return LoadResult::Fail(inf + ", line " + std::to_string(line) + ": " + what);
  };

  // Names first, so a bad map is refused before any picture is loaded.
  for (const auto& row : d.BuildingRows) {
    const auto type = FindType(world, row.TypeKey);
    if (!type) return fail(row.Line, "the building type \"" + row.TypeKey + "\" does not exist");
    bool listed = false;
    for (const ImageRecord& r : world.Images) listed = listed || r.Name == type->ClipStyle;
    if (!listed && !world.Catalogue.Item(type->ClipStyle))
      return fail(row.Line, "the picture \"" + type->ClipStyle + "\" of building type \"" + row.TypeKey +
                                "\" is not in the catalogue");
    if (type->TotalData() < 1) return fail(row.Line, "the building type \"" + row.TypeKey + "\" has no frames");
  }
  // Units are placed at random inside an area and then kept on the map: an
  // area with no point on the map would heap them all at its edge, and no
  // unit could ever reach it as a goal.
  for (size_t k = 0; k < d.Terrains.size(); ++k) {
    const RECT& a = d.Terrains[k].Area;
    if (std::max(a.Left, a.Right) < 0 || std::min(a.Left, a.Right) > world.MapWidth ||
        std::max(a.Top, a.Bottom) < 0 || std::min(a.Top, a.Bottom) > world.MapHeight)
      return fail(d.Terrains[k].Line, "the terrain area " + std::to_string(k + 1) + " lies wholly outside the map");
  }
  for (const auto& t : d.TankModels) {
    if (!world.Catalogue.Item(t.ClipID))
      return fail(t.Line, "the picture \"" + t.ClipID + "\" of template \"" + t.Key + "\" is not in the catalogue");
    for (const auto& w : t.Weapons)
      if (!world.EnemyWeapons.Item(w.Key)) return fail(w.Line, "the weapon \"" + w.Key + "\" does not exist");
  }

  if (d.HasMap) {
    world.TileColumns = d.Columns;
    world.TileRows = d.Rows;
    world.TileNames = d.Tiles;
    world.Tiles.assign(d.Tiles.size(), ImageRecord{});
    for (size_t k = 0; k < d.Tiles.size(); ++k) {
      progress.Bar(RECT{200, 95, BarRight(200 + 20 * (static_cast<int64_t>(k) + 1)), 100}, kBarColour);
      const auto size =
          pictures.Load(PictureList::Tiles, static_cast<int32_t>(k), TilePath(d.Tiles[k]), PictureArchive::MissionPack);
      if (!size) return fail(d.TileLines[k], "the tile picture \"" + d.Tiles[k] + "\" cannot be loaded");
      ImageRecord& r = world.Tiles[k];
      r.RepeatX = r.RepeatY = 1;
      r.FileName = d.Tiles[k];
      r.Width = size->Width;
      r.Height = size->Height;
    }
  }

  if (!d.BuildingRows.empty()) progress.Line(60, 104, "Set Building System");
  world.Builds.clear();
  const int64_t n = static_cast<int64_t>(d.BuildingRows.size());
  for (int64_t i = 0; i < n; ++i) {
    const auto& row = d.BuildingRows[i];
    const auto type = world.BuildingTypes.Item(row.TypeKey);
    std::string why;
    const auto image = CataloguePicture(world, pictures, type->ClipStyle, why);
    if (!image) return fail(row.Line, why);
    progress.Line(60, 120, "Set Land Mask");
    BuildingInstance b;
    b.ImageIndex = std::to_string(*image);
    b.FrameCount = type->TotalData();
    b.Frames.assign(static_cast<size_t>(b.FrameCount) + 1, 0);
    for (int16_t f = 0; f < b.FrameCount; ++f) b.Frames[f] = type->GetSingleData(f);
    const ImageRecord& pic = world.Images[*image];
    b.Footprint = RECT{0, 0, plat::CLng(static_cast<double>(pic.Width) / std::max(pic.RepeatX, 1)),
                       plat::CLng(static_cast<double>(pic.Height) / std::max(pic.RepeatY, 1))};
    b.TypeKey = type->Key;
    b.HP = b.HPFull = type->HP;
    b.X = row.X;
    b.Y = row.Y;
    b.ShieldFull = type->ShieldFull;
    b.Shield = static_cast<float>(type->ShieldFull);
    b.ShieldSpeed = type->ShieldSpeed;
    b.Size = type->Size();
    b.DrawX = static_cast<int32_t>(plat::RoundHalfEven(row.X - b.Footprint.Right / 2.0));
    b.DrawY = static_cast<int32_t>(
        plat::RoundHalfEven((row.Y - static_cast<double>(b.Footprint.Bottom)) + b.Footprint.Bottom * 0.25));
    b.AnimSpeed = plat::Rnd() * 0.1f + type->StyleSpeed;
    // The bar fills over the whole list; with one building it is full at
    // once rather than divided by zero.
    const int64_t filled = n > 1 ? static_cast<int64_t>(plat::Int(16.0 * i / (n - 1))) : 16;
    progress.Bar(RECT{200, 125, BarRight(200 + 20 * filled), 130}, kBarColour);
    PutBMask(world, b.DrawX, b.DrawY, b.Footprint, 1);
    world.Builds.push_back(std::move(b));
  }

  if (d.HasTankModels) {
    world.Templates.RemoveAll();
    for (const auto& t : d.TankModels) {
      std::string key = t.Key;
      auto tank = world.Templates.Add(key, 0, 0, RECT{0, 0, 80, 60});
      tank->ClipID = t.ClipID;
      tank->TopSpeed = t.TopSpeed;
      tank->Agile = t.Agile;
      tank->Accelerate = t.Accelerate;
      tank->ShieldFull = t.ShieldFull;
      tank->ShieldSpeed = t.ShieldSpeed;
      tank->EnergyFull = t.EnergyFull;
      tank->EnergySpeed = t.EnergySpeed;
      tank->Weapon->RemoveAll();
      for (const auto& wr : t.Weapons) {
        const auto from = world.EnemyWeapons.Item(wr.Key);
        auto w = tank->Weapon->Add("");
        w->Key = wr.Key;
        w->OffsetX = wr.OffsetX;
        w->Agile = from->Agile;
        w->Ammo = from->Ammo;
        w->ClipID = from->ClipID;
        w->Energy = from->Energy;
        w->FireAngle = from->FireAngle;
        w->FireCharge = from->FireCharge;
        w->FirePower = from->FirePower;
        w->FireSpeed = from->FireSpeed;
        w->Path = from->Path;
        w->Range = from->Range;
        w->Speed = from->Speed;
      }
    }
  }

  if (d.HasSpots) {
    world.Spots.assign(1, NavigationSpot{});
    world.Spots.insert(world.Spots.end(), d.Spots.begin(), d.Spots.end());
  }
  for (const auto& t : d.Terrains) AddTerrain(world, t.Area, t.Kind, t.Value);
  return {};
}

LoadResult ReadAllImage(BattleState& world, BattlePictures& pictures, LoadProgress& progress,
                        const std::string& mapPath, const std::vector<PlacedBuilding>* received) {
  progress.Line(60, 88, "Set Map System");
  const std::string base = BaseName(mapPath);
  const std::string msk = base + ".msk", inf = base + ".Inf";

  LoadResult missing;
  const auto bytes = MemberBytes(*MissionPack, msk, missing);
  MissionPack->RemoveTempFile();
  if (!bytes) return missing;
  std::vector<uint8_t> mask;
  if (LoadResult r = ParseLandMask(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), mask);
      !r)
    return LoadResult::Fail(msk + ": " + r.Message);

  MapDescription d;
  if (LoadResult r = WithMember(*MissionPack, inf, [&](plat::TextRecordReader& reader) { d = ParseMapDescription(reader); }); !r)
    return r;

  if (received) {
    // The host's buildings stand where they stand there; a position off
    // the map or an unknown type refuses the whole table.
    d.BuildingRows.clear();
    for (const PlacedBuilding& b : *received) {
      if (b.MapX < 0 || b.MapX >= world.MapWidth || b.MapY < 0 || b.MapY >= world.MapHeight)
        return LoadResult::Fail("the received building \"" + b.Key + "\" stands off the map");
      d.BuildingRows.push_back({b.Key, static_cast<int16_t>(b.MapX), static_cast<int16_t>(b.MapY), 0});
    }
  }
  world.LandMask = std::move(mask);
  const ExpectedPictures ahead(pictures, PicturesOfLoad(world, d));
  if (LoadResult r = ApplyMapDescription(world, pictures, progress, d, inf); !r) return r;
  if (received) {
    for (size_t k = 0; k < received->size() && k < world.Builds.size(); ++k) {
      world.Builds[k].HP = (*received)[k].HP;
      world.Builds[k].Shield = (*received)[k].Shield;
    }
  }

  // Effect textures: every shot and effect picture of the catalogue.
  world.Textures.assign(1, ImageRecord{});
  world.Named = NamedPictures{};
  for (int32_t p = 1; p <= world.Catalogue.Count(); ++p) {
    const auto e = world.Catalogue.Item(p);
    if (e->Index != kShotPictures) continue;
    const int32_t i =
        LoadSurfList(world.Textures, PictureList::Textures, pictures, e->FileName, e->RepeatX, e->RepeatY, e->Key);
    if (i < 0) return LoadResult::Fail("Weapon.ini: the picture " + e->FileName + " cannot be loaded");
    const std::string up = Upper(e->Key);
    for (int k = 1; k <= 9; ++k)
      if (up == "LASER0" + std::to_string(k)) world.Named.Laser[k - 1] = i;
    if (up == "BALL01") world.Named.Ball01 = i;
    if (up == "AC01") world.Named.AC01 = i;
    if (up == "MIS01") world.Named.MIS01 = i;
    if (up == "MIS02") world.Named.MIS02 = i;
    if (up == "EXP02") world.Named.EXP02 = i;
  }

  for (const auto& f : kFixedPictures) {
    const int32_t i = LoadSurfList(world.Images, PictureList::Images, pictures, f.file, f.across, f.down, f.name);
    if (i < 0) return LoadResult::Fail(std::string("the picture ") + f.file + " cannot be loaded");
    world.Named.*f.slot = i;
  }

  const auto girl = pictures.Load(PictureList::Girl, 0, Under(kGirlPicture), PictureArchive::Data);
  if (!girl) return LoadResult::Fail(std::string("the picture ") + kGirlPicture + " cannot be loaded");
  world.Girl = ImageRecord{33, 1, "", kGirlPicture, girl->Width, girl->Height};

  world.Wrecks.assign(1, ImageRecord{});
  if (LoadSurfList(world.Wrecks, PictureList::Wrecks, pictures, kWreckPictures[0], 1, 4, "") < 0 ||
      LoadSurfList(world.Wrecks, PictureList::Wrecks, pictures, kWreckPictures[1], 1, 1, "") < 0)
    return LoadResult::Fail("the wreck pictures cannot be loaded");
  return {};
}

LoadResult LoadBattleWorld(BattleState& world, BattlePictures& pictures, LoadProgress& progress,
                           const std::string& mapName) {
  for (auto load : {LoadSound, LoadEmyWeap, LoadImageInfo, LoadBuildingTypes})
    if (LoadResult r = load(world); !r) return r;
  return ReadAllImage(world, pictures, progress, AppPath + "\\" + mapName + "\\" + mapName);
}

LoadResult LoadHeadlessWorld(BattleState& world, const std::string& mapName) {
  SurfacePictures pictures(false);
  NullLoadProgress progress;
  return LoadBattleWorld(world, pictures, progress, mapName);
}

}  // namespace fw
