#include "window/form.h"

#include "conversion/conversion_run.h"
#include "conversion/paths.h"
#include "window/layout.h"

namespace ledgerlift {

Form1::Form1(Platform& platform, FileSystem& files, char separator,
             std::string output_directory)
    : platform_(platform),
      files_(files),
      separator_(separator),
      output_directory_(std::move(output_directory)) {}

std::optional<int> Form1::Load(std::string_view command_line) {
  const std::string argument = CommandLineArgument(command_line);
  if (argument.empty()) return std::nullopt;
  output_directory_ = OutputDirectoryOf(argument, separator_);
  return ConvertQFX(argument);
}

int Form1::ConvertQFX(const std::string& file_name) {
  if (file_name.empty()) {
    platform_.ShowMessage(std::string(kMissingFileNameMessage));
    return kExitFailed;
  }
  const RunResult result = ConvertFile(
      files_, file_name, OutputPath(file_name, output_directory_, separator_));
  if (result.error) {
    platform_.ShowMessage(result.error->Message());
    return kExitFailed;
  }
  if (result.failed_count > 0) {
    platform_.ShowMessage(FailedLinesMessage(result.failed_count));
    return kExitSomeLinesFailed;
  }
  return kExitConverted;
}

void Form1::OnLabel5Click() { platform_.OpenAddress(std::string(kWebAddress)); }

void Form1::OnOutPutSelectClick() {
  if (std::optional<std::string> folder = platform_.ChooseFolder()) {
    output_directory_ = std::move(*folder);
  }
}

void Form1::OnInputSelectClick() {
  if (std::optional<std::string> file = platform_.ChooseInputFile()) {
    ConvertQFX(*file);
  }
}

void Form1::OnFilesDropped(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) ConvertQFX(path);
}

}  // namespace ledgerlift
