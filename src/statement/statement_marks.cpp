#include "statement/statement_marks.h"

#include <algorithm>

namespace ledgerlift {
namespace {

constexpr std::string_view kMarks[] = {"OFXHEADER:", "<?OFX", "<OFX>", "<STMTTRN>"};
constexpr size_t kLongestMark =
    std::max_element(std::begin(kMarks), std::end(kMarks),
                     [](auto a, auto b) { return a.size() < b.size(); }) -> size();

bool HoldsMark(std::string_view text) {
  return std::any_of(std::begin(kMarks), std::end(kMarks), [text](std::string_view mark) {
    return text.find(mark) != std::string_view::npos;
  });
}

}  // namespace

void StatementMarks::Look(std::string_view block) {
  if (found_) return;
  // A mark that begins in the tail ends within the block's first bytes.
  const std::string seam = tail_ + std::string(block.substr(0, kLongestMark - 1));
  found_ = HoldsMark(seam) || HoldsMark(block);
  if (found_) return;
  tail_ = seam.substr(seam.size() - std::min(seam.size(), kLongestMark - 1));
  if (block.size() >= kLongestMark - 1) {
    tail_ = std::string(block.substr(block.size() - (kLongestMark - 1)));
  }
}

}  // namespace ledgerlift
