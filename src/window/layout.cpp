#include "window/layout.h"

#include <algorithm>

namespace ledgerlift {

std::array<const Control*, kControls.size()> TabOrder() {
  std::array<const Control*, kControls.size()> order{};
  for (size_t i = 0; i < kControls.size(); ++i) order[i] = &kControls[i];
  std::sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->tab_index < b->tab_index;
  });
  return order;
}

bool IsInsideClientArea(const Control& control) {
  return control.left >= 0 && control.top >= 0 &&
         control.left + control.width <= kClientWidthTwips &&
         control.top + control.height <= kClientHeightTwips;
}

int TwipsToPixels(int twips, int dots_per_inch) {
  const long scaled = static_cast<long>(twips) * dots_per_inch;
  return static_cast<int>((scaled + 720) / 1440);
}

}  // namespace ledgerlift
