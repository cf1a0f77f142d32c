#pragma once

#include <string>
#include <string_view>

namespace ledgerlift {

// Whether an input holds OFX data at all: the OFX header ("OFXHEADER:" of
// an SGML statement, "<?OFX" of an XML one), the <OFX> tag or a <STMTTRN>
// tag. A saved web page, an empty file, a PDF or a CSV holds none of them,
// and converting one would put an empty register in place of a good one.
// It is shown the blocks as they are read; a mark split between two blocks
// counts. Once a mark is found, later blocks are not looked at.
class StatementMarks {
 public:
  void Look(std::string_view block);
  bool found() const { return found_; }

 private:
  bool found_ = false;
  std::string tail_;  // the end of what was seen, too short to hold a mark
};

}  // namespace ledgerlift
