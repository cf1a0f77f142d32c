#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

namespace ledgerlift {

// A buffer that begins at a page boundary. The system copies a file's bytes
// into and out of such a buffer at full speed; from a heap block a few
// bytes past a boundary it may copy at half speed.
inline constexpr std::size_t kPageSize = 4096;
struct PageBufferFree {
  void operator()(char* bytes) const {
    ::operator delete[](bytes, std::align_val_t{kPageSize});
  }
};
using PageBuffer = std::unique_ptr<char[], PageBufferFree>;

// A new buffer of `size` bytes at a page boundary, not zeroed: only the
// pages written are touched.
inline PageBuffer NewPageBuffer(std::size_t size) {
  return PageBuffer(new (std::align_val_t{kPageSize}) char[size]);
}

// Where a register is read back from: a file on the disk, or text in
// memory. Read may throw to stop the run.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // `size` bytes, fewer only at the end (as fread reads).
  virtual size_t Read(char* buffer, size_t size) = 0;
};

// Where converted output goes. Write may throw to stop the run.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
  // The first `size` bytes of `block`, a whole buffer of `OutputBuffer`:
  // a sink that keeps the bytes for later may keep the buffer instead of
  // copying them, and gives back another one of the same size.
  virtual PageBuffer WriteBlock(PageBuffer block, std::size_t size) {
    Write(std::string_view(block.get(), size));
    return block;
  }
};

// Collects output and hands it to a sink in large blocks, so a file is
// written with few calls and memory stays small whatever the input's size.
// Appending is a copy into a fixed buffer: records are short and many.
class OutputBuffer {
 public:
  static constexpr size_t kBlock = 256 << 10;  // stays in the processor's cache

  explicit OutputBuffer(ByteSink& sink) : sink_(sink), data_(NewPageBuffer(kBlock)) {}

  void Append(std::string_view bytes) {
    if (bytes.size() > kBlock - size_) {
      Flush();
      if (bytes.size() > kBlock) {
        sink_.Write(bytes);  // a value longer than a block goes as it is
        handed_on_ += bytes.size();
        return;
      }
    }
    std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
  }

  // Room for `size` more bytes, after handing on the block when it lacks
  // them; nullptr for more than a block. The caller fills all of it, so a
  // record is written with one check for room instead of one per piece. It
  // may write over `spare` bytes after them too, which the next bytes
  // appended replace.
  char* Claim(size_t size, size_t spare = 0) {
    if (size + spare > kBlock - size_) {
      Flush();
      if (size + spare > kBlock) return nullptr;
    }
    char* room = data_.get() + size_;
    size_ += size;
    return room;
  }

  // Gives back the last `count` bytes of what was claimed, unwritten.
  void Unclaim(size_t count) { size_ -= count; }

  void Flush() {
    if (size_ == 0) return;
    data_ = sink_.WriteBlock(std::move(data_), size_);
    handed_on_ += size_;
    size_ = 0;
  }

  // The bytes appended so far, handed on or not.
  std::uint64_t Position() const { return handed_on_ + size_; }

 private:
  ByteSink& sink_;
  PageBuffer data_;
  size_t size_ = 0;
  std::uint64_t handed_on_ = 0;
};

}  // namespace ledgerlift
