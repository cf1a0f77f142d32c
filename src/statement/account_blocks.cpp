#include "statement/account_blocks.h"

#include <algorithm>
#include <memory>

#include "statement/values.h"

namespace ledgerlift {
namespace {

constexpr size_t kCopyBlock = 256 << 10;

std::string Header(const AccountBlocks::Block& block) {
  if (block.statement == 0) return "!Type:Bank\r\n";
  const std::string kind = block.investment ? "Invst" : block.card ? "CCard" : "Bank";
  const std::string account = block.account.empty()
                                  ? "Account " + std::to_string(block.statement)
                                  : block.account;
  return "!Account\r\nN" + account + "\r\nT" + kind + "\r\n^\r\n!Type:" + kind + "\r\n";
}

// Reads the plain register in order, handing on or dropping its bytes.
class PlainReader {
 public:
  explicit PlainReader(ByteSource& plain)
      : plain_(plain), block_(NewPageBuffer(kCopyBlock)) {}

  // The next `count` bytes go to `out`, or nowhere. False when the
  // register ends before them.
  bool Pass(std::uint64_t count, OutputBuffer* out) {
    while (count > 0) {
      const size_t want = static_cast<size_t>(std::min<std::uint64_t>(count, kCopyBlock));
      const size_t got = plain_.Read(block_.get(), want);
      if (got < want) return false;
      if (out != nullptr) out->Append(std::string_view(block_.get(), got));
      count -= got;
    }
    return true;
  }

  // The same into `out`, each security line naming its security.
  bool PassNaming(std::uint64_t count, OutputBuffer& out, const SecurityNames& names) {
    SecurityRenamer renamer(names, out);
    while (count > 0) {
      const size_t want = static_cast<size_t>(std::min<std::uint64_t>(count, kCopyBlock));
      const size_t got = plain_.Read(block_.get(), want);
      if (got < want) return false;
      renamer.Pass(std::string_view(block_.get(), got));
      count -= got;
    }
    renamer.Finish();
    return true;
  }

 private:
  ByteSource& plain_;
  PageBuffer block_;
};

}  // namespace

void AccountBlocks::BeginStatement(bool card, const std::uint64_t* open_transaction) {
  if (open_transaction != nullptr && *open_transaction == current_.statement) {
    left_open_ = current_;
  }
  current_ = {0, current_.statement + 1, card, false, {}};
}

void AccountBlocks::AccountId(std::string_view value) {
  if (current_.statement == 0 || !current_.account.empty()) return;
  current_.account = WithoutBlanks(value);
  if (!blocks_.empty() && blocks_.back().statement == current_.statement) {
    blocks_.back().account = current_.account;
  }
}

bool AccountBlocks::several() const {
  const size_t before_any = !blocks_.empty() && blocks_.front().statement == 0 ? 1 : 0;
  return blocks_.size() - before_any >= 2;
}

bool AccountBlocks::InBlocks() const {
  return several() || std::any_of(blocks_.begin(), blocks_.end(),
                                  [](const Block& block) { return block.investment; });
}

void AccountBlocks::StartBlock(std::uint64_t statement, std::uint64_t position) {
  Block block = statement == current_.statement ? current_ : left_open_;
  block.begin = position;
  blocks_.push_back(std::move(block));
}

bool WriteInBlocks(const std::vector<AccountBlocks::Block>& blocks, std::uint64_t size,
                   ByteSource& plain, ByteSink& out, const SecurityNames* names) {
  PlainReader reader(plain);
  OutputBuffer buffer(out);  // headers and records leave in large blocks
  if (!reader.Pass(blocks.empty() ? size : blocks.front().begin, nullptr)) return false;
  for (size_t i = 0; i < blocks.size(); ++i) {
    buffer.Append(Header(blocks[i]));
    const std::uint64_t end = i + 1 < blocks.size() ? blocks[i + 1].begin : size;
    const std::uint64_t count = end - blocks[i].begin;
    if (!(blocks[i].investment && names != nullptr
              ? reader.PassNaming(count, buffer, *names)
              : reader.Pass(count, &buffer))) {
      return false;
    }
  }
  buffer.Flush();
  return true;
}

}  // namespace ledgerlift
