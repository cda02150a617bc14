#pragma once
// The rows of one of the factory's lists as the rules see them: texts in
// order and a 1-based selection (0 for none), changed the way the list box
// that shows them changes, so a screen can copy them over as they stand.
#include <cstdint>
#include <string>
#include <vector>

namespace fw {

struct RowList {
  std::vector<std::string> Rows;
  int32_t SelectedItem = 0;

  int32_t Count() const { return static_cast<int32_t>(Rows.size()); }
  // Text of a 1-based row; the row must exist.
  const std::string& Item(int32_t row) const { return Rows[static_cast<size_t>(row - 1)]; }
  void Add(const std::string& text) { Rows.push_back(text); }
  // The selection keeps its number unless it now lies past the last row.
  void Remove(int32_t row) {
    Rows.erase(Rows.begin() + (row - 1));
    if (SelectedItem > Count()) SelectedItem = 0;
  }
  void RemoveAll() {
    if (Rows.empty()) return;
    Rows.clear();
    SelectedItem = 0;
  }
  // A click on a row selects it; past the last row it clears the selection.
  int32_t Click(int32_t row) {
    SelectedItem = row >= 1 && row <= Count() ? row : 0;
    return SelectedItem;
  }
};

}  // namespace fw
