#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/file_system.h"
#include "window/platform.h"

namespace ledgerlift {

// The program's one window object, without a toolkit: it holds the output
// folder (the text of its box Text1), runs the launch and the conversion, and
// handles the events of its controls. Back-ends draw it and forward events.
class Form1 {
 public:
  // `files` is the disk the conversions use; `separator` the platform's
  // path separator; `output_directory` the initial text of Text1 ("C:\" on
  // Windows, the home folder on Linux).
  Form1(Platform& platform, FileSystem& files, char separator,
        std::string output_directory);

  // The load handler. A command line left empty once its double quotes are
  // removed selects window mode (nothing). Any other text is the path of a
  // statement: it is converted into the folder it lies in, and the exit
  // status is returned.
  std::optional<int> Load(std::string_view command_line);

  // Converts `file_name` into the output folder, shows the message the run
  // calls for, and returns the exit status (0, 1 or 2).
  int ConvertQFX(const std::string& file_name);

  const std::string& OutputDirectory() const { return output_directory_; }
  void SetOutputDirectory(std::string folder) { output_directory_ = std::move(folder); }

  // Events of the window's controls.
  void OnLabel5Click();
  void OnOutPutSelectClick();  // "Set Output Dir": the folder chooser
  void OnInputSelectClick();   // "Convert QFX": choose a file, convert it
  void OnFilesDropped(const std::vector<std::string>& paths);

 private:
  Platform& platform_;
  FileSystem& files_;
  char separator_;
  std::string output_directory_;
};

}  // namespace ledgerlift
