#include "statement/security_names.h"

namespace ledgerlift {

void SecurityNames::Add(std::string_view unique_id, std::string_view name) {
  const std::size_t bytes = unique_id.size() + name.size();
  if (bytes_ + bytes > kMostBytes) return;
  if (names_.emplace(std::string(unique_id), std::string(name)).second) bytes_ += bytes;
}

std::string_view SecurityNames::NameOf(std::string_view unique_id) const {
  if (names_.empty()) return unique_id;
  const auto found = names_.find(std::string(unique_id));
  return found == names_.end() ? unique_id : std::string_view(found->second);
}

// Every line of a record begins with its field's letter, and no value holds
// a line end: a "Y" at a line's start is always a security line.
void SecurityRenamer::Pass(std::string_view records) {
  while (!records.empty()) {
    if (at_line_start_) {
      in_security_ = records.front() == 'Y';
      at_line_start_ = false;
    }
    const std::size_t end = records.find('\n');
    const std::string_view part = records.substr(0, end);
    if (in_security_) {
      line_.append(part);
    } else {
      out_.Append(part);
    }
    if (end == std::string_view::npos) return;
    if (in_security_) {  // "Y" UNIQUEID CR
      if (line_.size() >= 2 && line_.back() == '\r') {
        out_.Append("Y");
        out_.Append(names_.NameOf(std::string_view(line_).substr(1, line_.size() - 2)));
        out_.Append("\r");
      } else {
        out_.Append(line_);
      }
      line_.clear();
    }
    out_.Append("\n");
    at_line_start_ = true;
    records.remove_prefix(end + 1);
  }
}

void SecurityRenamer::Finish() { out_.Append(line_); }

}  // namespace ledgerlift
