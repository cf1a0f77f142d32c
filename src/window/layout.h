#pragma once

#include <array>
#include <string_view>

#include "version.h"

namespace ledgerlift {

// The window as designed: texts, controls and geometry in twips (1/1440
// inch). Both back-ends draw from this table, so the layout lives here only.

inline constexpr std::string_view kWindowCaption = "Ledgerlift Converter";
inline constexpr std::string_view kMessageCaption = "Ledgerlift";
inline constexpr std::string_view kWebAddress = "https://tessarine.com/";

inline constexpr int kClientWidthTwips = 5235;
inline constexpr int kClientHeightTwips = 3375;

enum class ControlKind { kLabel, kTextBox, kButton };

// kSansSerif975 is "MS Sans Serif" 9.75 pt on Windows, the desktop's sans
// font at 9.75 pt elsewhere.
enum class ControlFont { kWindowDefault, kSansSerif975 };

// The window's controls, by the names they were designed with. Each indexes
// kControls; the back-ends switch over it without a default, so that the
// compiler (-Wswitch) names a control one of them forgot.
enum class ControlId {
  kVersionLabel,
  kInstructionsLabel,
  kAssociationLabel,
  kCreditLabel,
  kWebLink,
  kOutputFolderBox,
  kFolderButton,
  kConvertButton,
};

struct Control {
  ControlId id;
  std::string_view name;  // as designed; GTK names its widget so, for tests
  ControlKind kind;
  std::string_view text;
  int left, top, width, height;  // twips, relative to the client area
  int tab_index;
  ControlFont font;
};

inline constexpr std::string_view kInstructions =
    "This progam converts QFX format files to QIF.  To use the program, close "
    "this window.  Simply drag your QFX file onto the icon for this program.  "
    "The QIF file will appear in the same folder.  No user interface is "
    "necessary.";
inline constexpr std::string_view kAssociationHint =
    "For faster conversion, associate QFX files with this program.  When you "
    "double click the QFX file, the QIF will appear in the same directory.";

// The output-folder box has no text of its own: it shows the window
// object's output folder, which the mains set ("C:\" on Windows, the home
// folder on Linux).
inline constexpr std::array<Control, 8> kControls = {{
    {ControlId::kVersionLabel, "Label1", ControlKind::kLabel,
     "Version " LEDGERLIFT_VERSION, 0, 120, 1215, 255, 3, ControlFont::kWindowDefault},
    {ControlId::kInstructionsLabel, "Label2", ControlKind::kLabel, kInstructions, 120,
     480, 4695, 1335, 4, ControlFont::kSansSerif975},
    {ControlId::kAssociationLabel, "Label3", ControlKind::kLabel, kAssociationHint, 120,
     1920, 4815, 855, 5, ControlFont::kSansSerif975},
    {ControlId::kCreditLabel, "Label4", ControlKind::kLabel, "Created by Tessarine Inc",
     3120, 2760, 1935, 255, 6, ControlFont::kWindowDefault},
    {ControlId::kWebLink, "Label5", ControlKind::kLabel, kWebAddress, 3120, 3000, 1935,
     255, 7, ControlFont::kWindowDefault},
    {ControlId::kOutputFolderBox, "Text1", ControlKind::kTextBox, "", 480, 3960, 3375,
     495, 2, ControlFont::kWindowDefault},
    {ControlId::kFolderButton, "OutPutSelect", ControlKind::kButton, "Set Output Dir",
     4320, 3960, 1575, 495, 1, ControlFont::kWindowDefault},
    {ControlId::kConvertButton, "InputSelect", ControlKind::kButton, "Convert QFX", 6000,
     3960, 1575, 495, 0, ControlFont::kWindowDefault},
}};

// Every control stands at its id's place in the table, under a name of its
// own, so that an id finds its control without a search.
constexpr bool IdsIndexTheTable() {
  for (size_t i = 0; i < kControls.size(); ++i) {
    if (static_cast<size_t>(kControls[i].id) != i) return false;
    for (size_t j = 0; j < i; ++j) {
      if (kControls[j].name == kControls[i].name) return false;
    }
  }
  return static_cast<size_t>(ControlId::kConvertButton) + 1 == kControls.size();
}
static_assert(IdsIndexTheTable(), "kControls lists every ControlId once, in order");

constexpr const Control& ControlFor(ControlId id) {
  return kControls[static_cast<size_t>(id)];
}

// The dialogs the window's buttons open, the same on both systems. The file
// chooser is titled after the button that opens it.
inline constexpr std::string_view kFolderChooserTitle =
    "Choose the folder the QIF files are written to";

// The file chooser's filters, statements first: QFX is what banks hand out,
// some send the same as OFX. Patterns match in any letter case.
struct FileFilter {
  std::string_view name;
  std::string_view extension;  // without the dot; empty for every file
};
inline constexpr std::array<FileFilter, 3> kStatementFilters = {{
    {"QFX statements (*.qfx)", "qfx"},
    {"OFX statements (*.ofx)", "ofx"},
    {"All files (*.*)", ""},
}};

// The controls in tab order (tab index 0 first).
std::array<const Control*, kControls.size()> TabOrder();

// Whether a control lies wholly inside the client area at its designed size.
bool IsInsideClientArea(const Control& control);

// Twips to pixels: 15 twips to a pixel at 96 dots per inch, scaled with the
// desktop's dots per inch, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dots_per_inch = 96);

}  // namespace ledgerlift
