#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ledgerlift {

// A bank's answer that is no statement: a STATUS aggregate whose CODE is not
// 0 ("2000", "15500"), with its MESSAGE when it has one.
struct BankStatus {
  std::string code;
  std::string message;  // as the bank wrote it, blanks around it removed
};

// What tells an OFX statement from any other file, and a whole one from one
// cut off, by its structure rather than by text it happens to hold:
//
// - An OFX header at its start, after a byte-order mark, blanks and blank
//   lines: "OFXHEADER:" of an SGML statement, or "<?OFX" of an XML one
//   (after its "<?xml ...?>" declaration, if any); or an <OFX> tag outside
//   comments and CDATA sections before its transactions. A page that only
//   mentions "<OFX>" in a comment or "OFXHEADER:" in its text is neither.
// - A statement ends with its </OFX> tag (blanks, line ends and NUL bytes
//   may follow); a download cut off does not.
// - A STATUS whose CODE is not 0 before the transactions is the bank's
//   error, which matters when no transaction follows.
//
// It is shown the blocks as they are read, in order, in any sizes. Tags
// are read until the transactions begin (<STMTTRN>, <BANKTRANLIST>,
// <INVTRANLIST>); from there on only the file's last bytes are kept, so a
// large statement costs nothing more.
class StatementMarks {
 public:
  void Look(std::string_view block);

  // Nothing but blanks and line ends, or no byte at all.
  bool empty() const { return !content_; }
  // An OFX header at the start, or an <OFX> tag.
  bool ofx() const;
  // The last tag is </OFX> (or, in XML, <OFX/>: nothing else). A comment
  // or CDATA section left open before it is for the converter to tell,
  // which reads them all.
  bool ends_closed() const { return tail_ == "</OFX>" || tail_ == "<OFX/>"; }
  const std::optional<BankStatus>& bank_error() const { return bank_error_; }

 private:
  enum class State { kText, kKey, kValue, kComment, kCdata, kDone };
  enum class Capture { kNone, kCode, kMessage };

  void LookAtTags(std::string_view block);
  void OnKey();
  void OnValueEnd();
  void KeepTail(std::string_view block);

  bool content_ = false;
  std::string head_;  // the first bytes, where the header stands
  bool ofx_tag_ = false;

  State state_ = State::kText;
  std::string key_;    // after a "<", so far
  std::string value_;  // of a CODE or MESSAGE, so far
  Capture capture_ = Capture::kNone;
  int closer_run_ = 0;  // of "-" or "]" in a comment or CDATA section
  bool in_error_status_ = false;
  std::optional<BankStatus> bank_error_;

  // The last bytes before the blanks, line ends and NULs that end the file
  // so far; one blank stands for those when more follows.
  std::string tail_;
  bool blanks_after_tail_ = false;
};

}  // namespace ledgerlift
