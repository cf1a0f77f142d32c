#include "statement/statement_marks.h"

#include <algorithm>
#include <cstring>

namespace ledgerlift {
namespace {

constexpr std::size_t kHeadSize = 512;
constexpr std::size_t kLongestKey = 32;     // longer keys are none we look for
constexpr std::size_t kLongestValue = 512;  // of a CODE or MESSAGE
constexpr std::string_view kClosingTag = "</OFX>";
constexpr std::string_view kCommentOpener = "!--";
constexpr std::string_view kCdataOpener = "![CDATA[";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsEndBlank(char c) { return IsBlank(c) || c == '\0'; }

std::string_view WithoutBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The text after a byte-order mark and blanks.
std::string_view AfterBlanks(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

bool IsZeroCode(std::string_view code) {
  return std::all_of(code.begin(), code.end(), [](char c) { return c == '0'; });
}

}  // namespace

void StatementMarks::Look(std::string_view block) {
  if (block.empty()) return;
  if (head_.size() < kHeadSize) {
    head_.append(block.substr(0, kHeadSize - head_.size()));
  }
  if (!content_) {
    content_ =
        std::any_of(block.begin(), block.end(), [](char c) { return !IsBlank(c); });
  }
  if (state_ != State::kDone) LookAtTags(block);
  KeepTail(block);
}

bool StatementMarks::ofx() const {
  std::string_view head = AfterBlanks(head_);
  if (head.starts_with("<?xml")) {
    const std::size_t end = head.find("?>");
    if (end != std::string_view::npos) head = AfterBlanks(head.substr(end + 2));
  }
  return ofx_tag_ || head.starts_with("OFXHEADER:") || head.starts_with("<?OFX");
}

// Reads the tags of `block` as far as they tell anything: the <OFX> tag and
// the STATUS aggregates before the transactions. Comments and CDATA sections
// are skipped, so their text holds no tag.
void StatementMarks::LookAtTags(std::string_view block) {
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p != end && state_ != State::kDone) {
    if (state_ == State::kText) {
      p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
      if (p == nullptr) return;
      ++p;
      state_ = State::kKey;
      key_.clear();
      continue;
    }
    const char c = *p++;
    switch (state_) {
      case State::kKey:
        if (c == '<') {
          key_.clear();
        } else if (c == '>') {
          OnKey();
        } else if (c == '\r' || c == '\n' || key_.size() == kLongestKey) {
          state_ = State::kText;
        } else {
          key_ += c;
          if (key_ == kCommentOpener || key_ == kCdataOpener) {
            state_ = key_ == kCommentOpener ? State::kComment : State::kCdata;
            closer_run_ = 0;
          } else if (key_.front() == '!' && !kCommentOpener.starts_with(key_) &&
                     !kCdataOpener.starts_with(key_)) {
            state_ = State::kText;  // a declaration such as <!DOCTYPE html>
          }
        }
        break;
      case State::kValue:
        if (c == '<' || c == '\r' || c == '\n') {
          OnValueEnd();
          state_ = c == '<' ? State::kKey : State::kText;
          key_.clear();
        } else if (value_.size() < kLongestValue) {
          value_ += c;
        }
        break;
      case State::kComment:
      case State::kCdata: {
        const char closer = state_ == State::kComment ? '-' : ']';
        if (c == '>' && closer_run_ >= 2) {
          state_ = State::kText;
        } else {
          closer_run_ = c == closer ? closer_run_ + 1 : 0;
        }
        break;
      }
      case State::kText:
      case State::kDone:
        break;
    }
  }
}

void StatementMarks::OnKey() {
  state_ = State::kText;
  if (key_ == "OFX") {
    ofx_tag_ = true;
  } else if (key_ == "STATUS" || key_ == "/STATUS") {
    in_error_status_ = false;
  } else if (key_ == "CODE" || key_ == "MESSAGE") {
    capture_ = key_ == "CODE" ? Capture::kCode : Capture::kMessage;
    value_.clear();
    state_ = State::kValue;
  } else if (key_ == "STMTTRN" || key_ == "BANKTRANLIST" || key_ == "INVTRANLIST") {
    state_ = State::kDone;  // the transactions begin
  }
}

void StatementMarks::OnValueEnd() {
  const std::string_view value = WithoutBlanks(value_);
  if (value.empty()) return;
  if (capture_ == Capture::kCode) {
    if (!IsZeroCode(value) && !bank_error_) {
      bank_error_ = BankStatus{std::string(value), ""};
      in_error_status_ = true;
    }
  } else if (in_error_status_ && bank_error_->message.empty()) {
    bank_error_->message = value;
  }
}

void StatementMarks::KeepTail(std::string_view block) {
  std::size_t content_end = block.size();
  while (content_end > 0 && IsEndBlank(block[content_end - 1])) --content_end;
  if (content_end == 0) {
    blanks_after_tail_ = true;
    return;
  }
  if (blanks_after_tail_) tail_ += ' ';
  tail_.append(block.substr(0, content_end)
                   .substr(content_end - std::min(content_end, kClosingTag.size())));
  if (tail_.size() > kClosingTag.size())
    tail_.erase(0, tail_.size() - kClosingTag.size());
  blanks_after_tail_ = content_end < block.size();
}

}  // namespace ledgerlift
