#pragma once
// The assembly screen's sixteen attribute lines, in two columns under the
// preview: the values of the fitted hull, shield, engine and reactor, and
// of a chosen weapon with its ammunition. EquTextA holds the labels with
// their values, EquTextB the labels alone; both are drawn at the same
// places, A first.
#include <array>
#include <string>

#include "factory/rules/assembly.hpp"
#include "factory/rules/catalogs.hpp"

namespace fw {

// Lines 1 to 16; element 0 is never used.
using AttributeLines = std::array<std::string, 17>;

// The panels of the attribute lines, their own numbering (not the item
// kinds): which lines a SetEQUTextInfo call writes.
enum AttributePanel : int32_t {
  kPanelLabels = 0,
  kPanelTank = 1,     // lines 1, 2
  kPanelReactor = 2,  // lines 5, 6
  kPanelShield = 3,   // lines 7, 8
  kPanelEngine = 4,   // lines 3, 4
  kPanelWeapon = 5,   // lines 9 to 16
};

// A single-precision value as the runtime writes it: a leading blank when
// not negative, at most 7 significant digits, no zero before the point.
std::string SingleStr(float v);
// A whole value the same way.
std::string WholeStr(int64_t v);

// Writes the lines of one panel of EquTextA from the catalogue entry of
// the name; the weapon panel then shows the ammunition's values in the
// lines it changes. Any other panel turns all sixteen lines into bare
// labels. A name in no catalogue leaves its lines as bare labels.
void SetEQUTextInfo(AttributeLines& a, const FactoryCatalogs& catalogs, int32_t panel, const std::string& name,
                    const std::string& ammunition);
// The sixteen labels of EquTextB.
void SetEQUTextBInfo(AttributeLines& b);
// EquTextA from the fitted set: hull, shield, engine and reactor values;
// the weapon lines stay bare labels.
void SetEQUAttrib(AttributeLines& a, const FactoryCatalogs& catalogs, const Assembly& assembly);

}  // namespace fw
