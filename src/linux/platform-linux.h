#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "program/platform.h"
#include "program/program.h"
#include "window/gtk/gtk-module.h"

namespace ledgerlift {

// The user's home folder, the initial output folder of the window.
std::string HomeFolder();

// Writes `text` to standard output and returns the exit status: 0, or 2 with
// a message on standard error when it cannot be written (a full disk, a
// closed descriptor), so that a script notices.
int PrintToStandardOutput(std::string_view text);

// Writes a message on an option that converts nothing to standard error
// and returns the exit status for it, 2.
int PrintOptionMessage(std::string_view text);

// Whether the desktop started the program (kFromDesktopVariable is "1").
// The variable is taken out of the environment, so that a program started
// from here (the web browser) does not inherit it.
bool TakeDesktopStart();

// Where the GTK module may lie for the program at `executable`: beside it
// (the build tree), then in lib/ledgerlift under the install prefix.
std::vector<std::string> GtkModuleCandidates(const std::string& executable);

// The platform on Linux: messages on standard error, or GTK dialogs when the
// desktop started the program (its desktop entry says so: TakeDesktopStart)
// or the program shows its window. Whether a terminal is at hand says
// nothing: a cron job or a service in a desktop session has none, and no one
// to answer a dialog. GTK is loaded only when the first dialog or the window
// is needed.
class LinuxPlatform : public Platform {
 public:
  explicit LinuxPlatform(bool desktop_start) : desktop_start_(desktop_start) {}

  void ShowMessage(const std::string& text) override;
  bool MessagesGoToStandardError() override;
  std::optional<std::string> ChooseFolder() override;
  std::optional<std::string> ChooseInputFile() override;
  void OpenAddress(const std::string& address) override;

  // Window mode: shows the window of `program` until it is closed. Where no
  // window can be shown, prints the window's explanation to standard output
  // instead. Returns the exit status (PrintToStandardOutput's).
  int RunWindow(Program& program);

 private:
  // The GTK desktop, loaded on first use; null when it cannot start.
  GtkDesktop* Desktop();

  bool desktop_start_;
  bool window_shown_ = false;
  bool desktop_tried_ = false;
  GtkDesktop* desktop_ = nullptr;
};

}  // namespace ledgerlift
