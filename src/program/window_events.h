#pragma once

#include <string>
#include <vector>

namespace ledgerlift {

// What a drawn window hands to the program, the same on both systems:
// the events of its controls and the text of the output-folder box. Program
// takes them; each back-end only draws the layout and calls these.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual const std::string& OutputDirectory() const = 0;
  // The user edited the output-folder box.
  virtual void SetOutputDirectory(std::string folder) = 0;
  virtual void OnWebLinkClick() = 0;
  // "Set Output Dir": the folder chooser. Returns the output folder after it,
  // chosen or not, for the back-end to show in the box.
  virtual const std::string& OnFolderButtonClick() = 0;
  // "Convert QFX": choose a statement, convert it into the output folder.
  virtual void OnConvertButtonClick() = 0;
  virtual void OnFilesDropped(const std::vector<std::string>& paths) = 0;
};

}  // namespace ledgerlift
