#pragma once

#include <optional>
#include <string>

namespace ledgerlift {

// What the program needs from the desktop it runs on. Each back-end (the
// terminal, GTK, Win32) provides it; nothing else knows which one runs.
class Platform {
 public:
  virtual ~Platform() = default;

  // One message for the user: a modal box captioned "Ledgerlift" with only
  // an OK button and no icon, or a line on standard error.
  virtual void ShowMessage(const std::string& text) = 0;

  // Whether ShowMessage writes to standard error (a terminal, a script's
  // log) rather than showing a box: such a message may go into details a
  // box leaves out.
  virtual bool MessagesGoToStandardError() { return false; }

  // A folder picked by the user, or nothing when the chooser was cancelled.
  virtual std::optional<std::string> ChooseFolder() { return std::nullopt; }

  // A statement file picked by the user, or nothing when cancelled.
  virtual std::optional<std::string> ChooseInputFile() { return std::nullopt; }

  // Hands a web address to the desktop's handler; a failure shows nothing.
  virtual void OpenAddress(const std::string& /*address*/) {}
};

}  // namespace ledgerlift
