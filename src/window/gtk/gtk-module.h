#pragma once

// The boundary between the program and its GTK module, ledgerlift-gtk.so.
// The program loads the module with dlopen only when it shows a window or a
// dialog: linking GTK would cost every start tens of milliseconds and
// megabytes, and a plain conversion needs none of it. Both sides are built
// together by the same compiler, so C++ types may cross the boundary.

#include <string>
#include <vector>

#include "window/platform.h"

namespace ledgerlift {

// What the drawn window hands to the window object: the events of its
// controls and the text of Text1.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual std::string OutputDirectory() const = 0;
  virtual void SetOutputDirectory(std::string folder) = 0;  // Text1 edited
  virtual void OnLabel5Click() = 0;
  virtual void OnOutPutSelectClick() = 0;
  virtual void OnInputSelectClick() = 0;
  virtual void OnFilesDropped(const std::vector<std::string>& paths) = 0;
};

// The desktop as GTK shows it: the message box, the choosers, the web
// address handler, and the main window.
class GtkDesktop : public Platform {
 public:
  // Shows the main window and runs until the user closes it.
  virtual void RunWindow(WindowEvents& events) = 0;
};

// The name of the module's one exported function, a GtkStartFunction.
inline constexpr char kGtkModuleName[] = "ledgerlift-gtk.so";
inline constexpr char kGtkStartSymbol[] = "LedgerliftGtkStart";

// Starts GTK and returns the desktop, which lives until the process ends, or
// null when GTK cannot start (no display can be opened).
using GtkStartFunction = GtkDesktop* (*)();

}  // namespace ledgerlift
