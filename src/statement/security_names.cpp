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
// a line end: a "Y" at a line's start is always a security line. The lines
// between are handed on as they come.
void SecurityRenamer::Pass(std::string_view records) {
  while (!records.empty()) {
    in_security_ = in_security_ || (at_line_start_ && records.front() == 'Y');
    if (in_security_) {
      const std::size_t end = records.find('\n');
      line_.append(records.substr(0, end));
      if (end == std::string_view::npos) return;
      Rename();
      records.remove_prefix(end + 1);
      at_line_start_ = true;
      continue;
    }
    const std::size_t next = records.find("\nY");
    if (next == std::string_view::npos) {
      out_.Append(records);
      at_line_start_ = records.back() == '\n';
      return;
    }
    out_.Append(records.substr(0, next + 1));
    records.remove_prefix(next + 1);
    at_line_start_ = true;
  }
}

// The security line gathered, "Y" UNIQUEID CR, with its name instead.
void SecurityRenamer::Rename() {
  if (line_.size() >= 2 && line_.back() == '\r') {
    out_.Append("Y");
    out_.Append(names_.NameOf(std::string_view(line_).substr(1, line_.size() - 2)));
    out_.Append("\r\n");
  } else {
    out_.Append(line_);
    out_.Append("\n");
  }
  line_.clear();
  in_security_ = false;
}

void SecurityRenamer::Finish() { out_.Append(line_); }

}  // namespace ledgerlift
