#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "files/owners-win32.h"
#include "program/window_events.h"
#include "window/layout.h"
#include "window/win32/platform-win32.h"

namespace ledgerlift {

// Program on the Windows desktop: a top-level window holding a real STATIC,
// EDIT or BUTTON for every control of the model, at the model's positions
// scaled to the window's dots per inch. It only draws the model and forwards
// the controls' events to the program it shows.
class WindowWin32 {
 public:
  WindowWin32(WindowEvents& events, Win32Platform& platform);
  ~WindowWin32();
  WindowWin32(const WindowWin32&) = delete;
  WindowWin32& operator=(const WindowWin32&) = delete;

  // Creates the window and its controls, hidden. False when Windows refused;
  // GetLastError tells why.
  bool Create(HINSTANCE instance);

  // Shows the window and runs its messages until it is closed; returns the
  // exit status.
  int Run(int show_command);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT HandleMessage(UINT message, WPARAM w, LPARAM l);

  void CreateControls(HINSTANCE instance);
  // Sizes the window, places the controls and makes the fonts for `dpi`.
  void LayOut(UINT dpi);
  HFONT FontFor(const Control& control) const;
  void OnCommand(int id, int code);
  void OnDropFiles(HDROP drop);
  void ShowOutputDirectory(const std::string& folder);
  std::string OutputFolderText() const;  // as the user typed it
  HWND ControlWindow(ControlId id) const;

  // The folder browser and the open-file dialog need COM on the window's
  // thread; declared first, it is left last.
  ComApartment com_;
  WindowEvents& events_;
  Win32Platform& platform_;
  HWND window_ = nullptr;
  std::array<HWND, kControls.size()> controls_{};  // indexed by ControlId
  HWND focused_control_ = nullptr;  // has the keyboard when the window is active
  Font default_font_, sans_serif_font_;
  Font link_font_;  // the default font underlined, for the web link
};

}  // namespace ledgerlift
