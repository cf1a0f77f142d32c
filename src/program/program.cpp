#include "program/program.h"

#include <algorithm>

#include "run/conversion_run.h"
#include "run/paths.h"
#include "run/shown_name.h"
#include "window/layout.h"

namespace ledgerlift {

std::string FailedLinesMessage(std::uint64_t count) {
  return "Failed to read " + std::to_string(count) + " lines of data from QFX file.";
}

std::string FailedTransactionLines(const std::vector<FailedLine>& failed,
                                   std::uint64_t count) {
  std::string text;
  for (const FailedLine& failed_line : failed) {
    const FailedTransaction& t = failed_line.transaction;
    std::vector<std::string> lacks;
    if (!t.lacks.empty()) lacks.push_back(t.lacks);
    if (t.no_type) lacks.push_back("no type");
    if (t.no_date) {
      lacks.push_back(t.date.empty()
                          ? "no date"
                          : "a date that is no date (\"" + ShownName(t.date) + "\")");
    }
    if (t.no_amount) {
      lacks.push_back(t.amount.empty() ? "no amount"
                                       : "an amount without a digit (\"" +
                                             ShownName(t.amount) + "\")");
    }
    text += failed_line.line != 0 ? "  line " + std::to_string(failed_line.line)
                                  : "  at byte " + std::to_string(t.offset);
    for (size_t i = 0; i < lacks.size(); ++i) text += (i == 0 ? ": " : ", ") + lacks[i];
    text += '\n';
  }
  if (count > failed.size())
    text += "  … and " + std::to_string(count - failed.size()) + " more\n";
  if (!text.empty()) text.pop_back();
  return text;
}

std::string OptionMessage(TerminalRequest request, std::string_view option) {
  const std::string shown = ShownName(option);
  const std::string what = request == TerminalRequest::kOptionNotAlone
                               ? "the option '" + shown + "' stands alone, without files"
                               : "unknown option '" + shown + "'";
  return "ledgerlift: " + what +
         "\nTry 'ledgerlift --help'. To convert a file whose name starts with '-', "
         "put -- before it: ledgerlift -- " +
         shown + "\n";
}

std::string GatheredMessage(const std::vector<FileMessage>& messages) {
  std::string text;
  for (const FileMessage& said : messages) {
    if (!text.empty()) text += '\n';
    text += said.file_name.empty() ? "\"\"" : ShownName(said.file_name);
    text += ": ";
    text += said.message;
  }
  return text;
}

Program::Program(Platform& platform, FileSystem& files, char separator,
                 std::string output_directory, TextEncoding encoding)
    : platform_(platform),
      files_(files),
      separator_(separator),
      output_directory_(std::move(output_directory)),
      encoding_(encoding) {}

std::optional<int> Program::Load(const CommandLine& command_line) {
  const std::vector<std::string> files = FilesToConvert(
      command_line, [this](const std::string& path) { return files_.Exists(path); });
  if (files.empty()) return std::nullopt;
  return ConvertEach(files, Destination::kBesideInput);
}

int Program::ConvertIntoOutputFolder(const std::string& file_name) {
  return ConvertEach({file_name}, Destination::kOutputDirectory);
}

int Program::WindowNotCreated(const std::string& reason) {
  platform_.ShowMessage(
      ConversionError{kCreateWindowError, "cannot create the window: " + reason}
          .Message());
  return kExitFailed;
}

Program::Outcome Program::Convert(const std::string& file_name, Destination destination,
                                  RunRegisters& registers) const {
  if (file_name.empty()) return {kExitFailed, std::string(kMissingFileNameMessage)};
  const std::string output_path =
      destination == Destination::kBesideInput
          ? OutputPathBeside(file_name, separator_)
          : OutputPath(file_name, output_directory_, separator_);
  const RunResult result =
      ConvertFile(files_, file_name, output_path, &registers, encoding_);
  if (result.error) return {kExitFailed, result.error->Message()};
  if (result.failed_count > 0) {
    std::string message = FailedLinesMessage(result.failed_count);
    if (platform_.MessagesGoToStandardError()) {
      message += '\n' + FailedTransactionLines(result.failed, result.failed_count);
    }
    return {kExitSomeLinesFailed, std::move(message)};
  }
  if (result.no_transactions) return {kExitSuccess, std::string(kNoTransactionsMessage)};
  return {kExitSuccess, ""};
}

int Program::ConvertEach(const std::vector<std::string>& files, Destination destination) {
  int worst = kExitSuccess;
  std::vector<FileMessage> messages;
  RunRegisters registers;
  for (const std::string& file_name : files) {
    Outcome outcome = Convert(file_name, destination, registers);
    worst = std::max(worst, outcome.status);  // 2 before 1 before 0
    if (!outcome.message.empty())
      messages.push_back({file_name, std::move(outcome.message)});
  }
  if (messages.empty()) return worst;
  platform_.ShowMessage(files.size() == 1 ? messages.front().message
                                          : GatheredMessage(messages));
  return worst;
}

void Program::OnWebLinkClick() { platform_.OpenAddress(std::string(kWebAddress)); }

const std::string& Program::OnFolderButtonClick() {
  if (std::optional<std::string> folder = platform_.ChooseFolder()) {
    output_directory_ = std::move(*folder);
  }
  return output_directory_;
}

void Program::OnConvertButtonClick() {
  if (std::optional<std::string> file = platform_.ChooseInputFile()) {
    ConvertIntoOutputFolder(*file);
  }
}

void Program::OnFilesDropped(const std::vector<std::string>& paths) {
  if (!paths.empty()) ConvertEach(paths, Destination::kOutputDirectory);
}

}  // namespace ledgerlift
