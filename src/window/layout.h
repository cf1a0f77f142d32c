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

struct Control {
  std::string_view name;
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

// Text1 starts as "C:\" on Windows; on Linux the back-end puts the home
// folder there instead, since "C:\" means nothing on that system.
inline constexpr std::array<Control, 8> kControls = {{
    {"Label1", ControlKind::kLabel, "Version " LEDGERLIFT_VERSION, 0, 120, 1215, 255, 3,
     ControlFont::kWindowDefault},
    {"Label2", ControlKind::kLabel, kInstructions, 120, 480, 4695, 1335, 4,
     ControlFont::kSansSerif975},
    {"Label3", ControlKind::kLabel, kAssociationHint, 120, 1920, 4815, 855, 5,
     ControlFont::kSansSerif975},
    {"Label4", ControlKind::kLabel, "Created by Tessarine Inc", 3120, 2760, 1935,
     255, 6, ControlFont::kWindowDefault},
    {"Label5", ControlKind::kLabel, kWebAddress, 3120, 3000, 1935, 255, 7,
     ControlFont::kWindowDefault},
    {"Text1", ControlKind::kTextBox, "C:\\", 480, 3960, 3375, 495, 2,
     ControlFont::kWindowDefault},
    {"OutPutSelect", ControlKind::kButton, "Set Output Dir", 4320, 3960, 1575, 495,
     1, ControlFont::kWindowDefault},
    {"InputSelect", ControlKind::kButton, "Convert QFX", 6000, 3960, 1575, 495, 0,
     ControlFont::kWindowDefault},
}};

// The control of that name; every name in kControls is found.
const Control& FindControl(std::string_view name);

// The controls in tab order (tab index 0 first).
std::array<const Control*, kControls.size()> TabOrder();

// Whether a control lies wholly inside the client area at its designed size.
bool IsInsideClientArea(const Control& control);

// Twips to pixels: 15 twips to a pixel at 96 dots per inch, scaled with the
// desktop's dots per inch, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dots_per_inch = 96);

// What the window says, as lines for a terminal (--help, or no display).
std::string_view TerminalHelp();

}  // namespace ledgerlift
