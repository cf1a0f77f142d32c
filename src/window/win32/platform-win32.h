#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "files/utf16-win32.h"  // SystemErrorText
#include "program/platform.h"

namespace ledgerlift {

// The Windows desktop: message boxes, the shell's folder browser, the
// open-file dialog and the shell's "open" verb, through the wide (UTF-16)
// functions; texts and paths cross as UTF-8.
class Win32Platform : public Platform {
 public:
  // The window that owns the dialogs and message boxes; none (the desktop)
  // until the window is shown, so that a message of a conversion run gets a
  // taskbar button of its own.
  void SetOwner(HWND owner) { owner_ = owner; }

  // A message box captioned "Ledgerlift", OK only, no icon. A conversion
  // run started by a caller that redirected standard error to a file or pipe
  // writes the text there instead, as UTF-8 lines ended by CR LF, and shows
  // no box even when the writing fails; the shown window always uses the
  // box.
  void ShowMessage(const std::string& text) override;
  bool MessagesGoToStandardError() override;
  std::optional<std::string> ChooseFolder() override;
  std::optional<std::string> ChooseInputFile() override;
  void OpenAddress(const std::string& address) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace ledgerlift
