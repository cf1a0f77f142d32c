#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "statement/output_buffer.h"
#include "statement/security_names.h"

namespace ledgerlift {

// The statements of a file and where their records lie in the register.
//
// A download may hold several statements, one per account: <STMTRS> (a
// bank account), <CCSTMTRS> (a credit card), <INVSTMTRS> (an investment
// account). A transaction belongs to the statement begun last before it; a
// statement's account is its first ACCTID outside any transaction. Records
// are written as they come, into one plain register; this notes where each
// statement's records begin, so that a register whose records come from two
// or more statements, or from an investment statement, can be rewritten at
// the end into one block per account (`WriteInBlocks`). A file of one bank
// or card statement keeps its plain register. Only statements with records
// are noted.
class AccountBlocks {
 public:
  struct Block {
    std::uint64_t begin = 0;      // where its first record starts in the plain register
    std::uint64_t statement = 0;  // its place among the file's statements, from 1;
                                  // 0 for records before any statement
    bool card = false;            // a credit-card statement
    bool investment = false;      // an investment statement
    std::string account;          // empty when it has none
  };

  // A statement begins. `open_transaction` is the statement of a
  // transaction still open from before it, if any: that one stays its
  // statement's.
  void BeginStatement(bool card, const std::uint64_t* open_transaction);

  // The statement begun last is an investment statement.
  void MarkInvestment() { current_.investment = true; }

  // An ACCTID value outside any transaction: the current statement's
  // account, unless it has one; blanks around it are removed.
  void AccountId(std::string_view value);

  // The statement begun last; 0 before the first.
  std::uint64_t current() const { return current_.statement; }

  // A record of a transaction begun in `statement` starts at `position`.
  void Record(std::uint64_t statement, std::uint64_t position) {
    if (blocks_.empty() || blocks_.back().statement != statement) {
      StartBlock(statement, position);
    }
  }

  // Whether the records come from two or more statements.
  bool several() const;

  // Whether the register is rewritten in blocks: records of several
  // statements, or of an investment statement, which needs its account
  // header and its securities' names.
  bool InBlocks() const;

  const std::vector<Block>& blocks() const { return blocks_; }

 private:
  void StartBlock(std::uint64_t statement, std::uint64_t position);

  Block current_;    // the statement begun last (its `begin` unused)
  Block left_open_;  // the statement of a transaction left open into the next
  std::vector<Block> blocks_;
};

// Writes the register in blocks, read back from the plain register `plain`
// of `size` bytes: records from before any statement first, under
// "!Type:Bank"; then for each statement with records, in file order, its
// account ("!Account", "N" and the account or "Account K", "T" and "Bank",
// "CCard" or "Invst", "^"), its type header and its records, an investment
// statement's with its securities named by `names`. Reads and writes in
// blocks, so memory stays small. False when the plain register is shorter
// than `size`.
bool WriteInBlocks(const std::vector<AccountBlocks::Block>& blocks, std::uint64_t size,
                   ByteSource& plain, ByteSink& out,
                   const SecurityNames* names = nullptr);

}  // namespace ledgerlift
