#pragma once

// The boundary between the program and its GTK module, ledgerlift-gtk.so.
// The program loads the module with dlopen only when it shows a window or a
// dialog: linking GTK would cost every start tens of milliseconds and
// megabytes, and a plain conversion needs none of it. Both sides are built
// together by the same compiler, so C++ types may cross the boundary.

#include "program/platform.h"
#include "program/window_events.h"

namespace ledgerlift {

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
