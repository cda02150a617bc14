#include "factory/assembly_texts.hpp"

#include <cstdio>

#include "platform/runtime/compiler_false_alarms.hpp"

namespace fw {
namespace {

// The labels of lines shown with a value, and of lines shown bare; two
// bare labels lack their colon.
constexpr const char* kWithValue[17] = {"",
                                        "Weapon Number:",
                                        "Mobility:",
                                        "Speed Limit:",
                                        "Acceleration:",
                                        "Weapon Limit:",
                                        "Weapon Supply Rate:",
                                        "Shield Limit:",
                                        "Shield Supply Rate:",
                                        "Speed:",
                                        "Sensitivity:",
                                        "Range:",
                                        "Power:",
                                        "Shooting Rate:",
                                        "Energy Loss:",
                                        "Type:",
                                        "Ammunition:"};

const char* BareLabel(int line) {
  switch (line) {
    case 7: return "Shield Limit";
    case 8: return "Shield Supply Rate";
    default: return kWithValue[line];
  }
}

// The label column of EquTextB differs from the valued one only in line 16.
const char* HeaderLabel(int line) { return line == 16 ? "Ammunition" : kWithValue[line]; }

const char* PathName(int32_t path) {
  switch (path) {
    case 1: return "Straight";
    case 2: return "Trace";
    case 3: return "Cruise";
    case 4: return "Auto-Guide";
    default: return "";
  }
}

void Bare(AttributeLines& a, int first, int last) {
  for (int k = first; k <= last; ++k) a[static_cast<size_t>(k)] = BareLabel(k);
}

std::string Valued(int line, const std::string& number) { return kWithValue[line] + number; }

}  // namespace

std::string SingleStr(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
  std::string t = buf;
  if (t == "-0") t = "0";
  if (t.rfind("0.", 0) == 0) t.erase(0, 1);
  if (t.rfind("-0.", 0) == 0) t.erase(1, 1);
  return (t[0] == '-' ? "" : " ") + t;
}

FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
std::string WholeStr(int64_t v) { return (v >= 0 ? " " : "") + std::to_string(v); }
FW_LIBRARY_FALSE_ALARM_END

void SetEQUTextInfo(AttributeLines& a, const FactoryCatalogs& catalogs, int32_t panel, const std::string& name,
                    const std::string& ammunition) {
  const auto entry = [&] { return catalogs.EquipmentCatalog.Item(name); };
  switch (panel) {
    case kPanelTank:
      Bare(a, 1, 2);
      if (auto t = entry()) {
        a[1] = Valued(1, SingleStr(t->HeadAngle()));
        a[2] = Valued(2, SingleStr(t->Agile));
      }
      return;
    case kPanelEngine:
      Bare(a, 3, 4);
      if (auto t = entry()) {
        a[3] = Valued(3, SingleStr(t->TopSpeed));
        a[4] = Valued(4, SingleStr(t->Accelerate));
      }
      return;
    case kPanelReactor:
      Bare(a, 5, 6);
      if (auto t = entry()) {
        a[5] = Valued(5, WholeStr(t->EnergyFull));
        a[6] = Valued(6, SingleStr(t->EnergySpeed));
      }
      return;
    case kPanelShield:
      Bare(a, 7, 8);
      if (auto t = entry()) {
        a[7] = Valued(7, WholeStr(t->ShieldFull));
        a[8] = Valued(8, SingleStr(t->ShieldSpeed));
      }
      return;
    case kPanelWeapon:
      break;
    default:
      Bare(a, 1, 16);
      return;
  }

  Bare(a, 9, 16);
  if (auto w = catalogs.WeaponCatalog.Item(name)) {
    a[9] = Valued(9, SingleStr(w->Speed));
    a[10] = Valued(10, SingleStr(w->Agile));
    a[11] = Valued(11, WholeStr(w->Range));
    a[12] = Valued(12, WholeStr(w->FirePower));
    a[13] = Valued(13, SingleStr(w->FireSpeed));
    a[14] = Valued(14, SingleStr(w->Energy));
    a[15] = Valued(15, PathName(w->Path));
    a[16] = Valued(16, WholeStr(w->Ammo));
  }
  if (ammunition.empty()) return;
  const auto ammo = catalogs.WeaponCatalog.Item(ammunition);
  if (!ammo) return;
  // The ammunition decides what the carrying weapon does in battle, so its
  // figures replace the weapon's where it brings its own. The word tests
  // count letter case here.
  const auto has = [&](const char* word) { return ammunition.find(word) != std::string::npos; };
  const std::string range = "Weapon Range:" + WholeStr(ammo->Range);
  const std::string power = "Weapon Destructiveness:" + WholeStr(ammo->FirePower);
  const std::string rounds = "Ammunition" + WholeStr(ammo->Ammo);
  if (has("Artillery")) {
    a[11] = range;
    a[12] = power;
    a[16] = rounds;
  }
  if (has("Missile") || has("Rocket")) {
    a[9] = "Weapon Speed:" + SingleStr(ammo->Speed);
    a[10] = "Weapon Sensitivity:" + SingleStr(ammo->Agile);
    a[11] = range;
    a[12] = power;
    a[16] = rounds;
  }
}

void SetEQUTextBInfo(AttributeLines& b) {
  for (int k = 1; k <= 16; ++k) b[static_cast<size_t>(k)] = HeaderLabel(k);
}

void SetEQUAttrib(AttributeLines& a, const FactoryCatalogs& catalogs, const Assembly& assembly) {
  SetEQUTextInfo(a, catalogs, kPanelLabels, "", "");
  if (const std::string& tank = assembly.Slot(Assembly::kTankRow); !tank.empty())
    SetEQUTextInfo(a, catalogs, kPanelTank, tank, "");
  if (const std::string& s = assembly.Slot(Assembly::kShieldRow); !s.empty())
    SetEQUTextInfo(a, catalogs, kPanelShield, s, "");
  if (const std::string& e = assembly.Slot(Assembly::kEngineRow); !e.empty())
    SetEQUTextInfo(a, catalogs, kPanelEngine, e, "");
  if (const std::string& r = assembly.Slot(Assembly::kReactorRow); !r.empty())
    SetEQUTextInfo(a, catalogs, kPanelReactor, r, "");
}

}  // namespace fw
