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

std::string_view TerminalHelp() {
  return "Ledgerlift " LEDGERLIFT_VERSION
         " converts QFX bank statements to QIF.\n"
         "\n"
         "Usage: ledgerlift FILE.qfx [FILE.qfx...]\n"
         "  Writes FILE.qif in the same folder as FILE.qfx and ends. The whole\n"
         "  command line is one path: blanks are kept, double quotes removed.\n"
         "  When that names no file, each argument is converted in turn.\n"
         "  On a desktop, drag a QFX file onto the program's icon, or associate\n"
         "  QFX files with the program and double-click one.\n"
         "\n"
         "  ledgerlift            show the window that explains this\n"
         "  ledgerlift --help     show this text\n"
         "  ledgerlift --version  show the version\n"
         "\n"
         "Exit status: 0 converted, 1 converted but some transactions could\n"
         "not be read, 2 failed (no output written).\n"
         "\n"
         "Created by Tessarine Inc - https://tessarine.com/\n";
}

}  // namespace ledgerlift
