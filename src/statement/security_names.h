#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "statement/output_buffer.h"

namespace ledgerlift {

// The names of the securities a file's security list gives, by their
// UNIQUEID. The list stands after the transactions in real files, so an
// investment record is written with the security's UNIQUEID on its Y line,
// and the name is put in when the register is rewritten in blocks
// (WriteInBlocks), which reads it back anyway.
class SecurityNames {
 public:
  // The names kept at most, in bytes: a list longer than any brokerage's
  // leaves the rest of its securities by their UNIQUEID, and memory small.
  static constexpr std::size_t kMostBytes = 4 << 20;

  // A security of the list; the first one of a UNIQUEID counts.
  void Add(std::string_view unique_id, std::string_view name);

  // The name of the security `unique_id`, or `unique_id` itself when the
  // list has none.
  std::string_view NameOf(std::string_view unique_id) const;

  bool empty() const { return names_.empty(); }

 private:
  std::unordered_map<std::string, std::string> names_;
  std::size_t bytes_ = 0;
};

// Hands on an investment block's records as they are read back, in pieces
// of any size, with each "Y" line's UNIQUEID replaced by its security's
// name. Only the line being read is held.
class SecurityRenamer {
 public:
  SecurityRenamer(const SecurityNames& names, OutputBuffer& out)
      : names_(names), out_(out) {}

  void Pass(std::string_view records);
  // The block ended (at a line's end, as every record does).
  void Finish();

 private:
  void Rename();

  const SecurityNames& names_;
  OutputBuffer& out_;
  bool at_line_start_ = true;
  bool in_security_ = false;  // in a Y line, gathered in `line_`
  std::string line_;
};

}  // namespace ledgerlift
