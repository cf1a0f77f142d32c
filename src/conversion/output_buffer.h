#pragma once

#include <string>
#include <string_view>

namespace ledgerlift {

// Where converted output goes. Write may throw to stop the run.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
};

// Collects output and hands it to a sink in large blocks, so a file is
// written with few calls and memory stays small whatever the input's size.
class OutputBuffer {
 public:
  static constexpr size_t kBlock = 1 << 20;

  explicit OutputBuffer(ByteSink& sink) : sink_(sink) { data_.reserve(kBlock + 4096); }

  void Append(std::string_view bytes) { data_.append(bytes); }

  // Called between records: writes once a block is full.
  void FlushIfFull() {
    if (data_.size() >= kBlock) Flush();
  }

  void Flush() {
    sink_.Write(data_);
    data_.clear();
  }

 private:
  ByteSink& sink_;
  std::string data_;
};

}  // namespace ledgerlift
