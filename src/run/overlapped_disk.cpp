#include "run/overlapped_disk.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ledgerlift {
namespace {

// Room for the segment starts listed for a block: statements have a tag of
// ours in about 20 bytes. A block with more has the rest of its starts found
// by the converter.
constexpr std::size_t kStartsRoom = OutputBuffer::kBlock / 8;
static_assert(OutputBuffer::kBlock <= SegmentStarts::kLargestBlock);

}  // namespace

OverlappedDisk::OverlappedDisk(InputFile& input, ByteSink& output, std::size_t block_size)
    : input_(input),
      output_(output),
      block_size_(block_size),
      mapped_(input.Size() ? input.Map() : nullptr),
      map_size_(mapped_ ? *input.Size() : 0) {
  read_slots_.resize(kSlots);
  write_slots_.resize(kSlots);
  for (int i = 0; i < kSlots; ++i) {
    // Not zeroed: only the pages a block fills are touched.
    if (!mapped_) read_slots_[i].data = NewPageBuffer(block_size);
    read_slots_[i].room.reset(new SegmentStarts::Start[kStartsRoom]);
    write_slots_[i].data = NewPageBuffer(OutputBuffer::kBlock);
    free_read_.push_back(&read_slots_[i]);
    free_write_.push_back(&write_slots_[i]);
  }
  thread_ = std::thread(&OverlappedDisk::Run, this);
}

OverlappedDisk::~OverlappedDisk() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_one();
  thread_.join();
}

OverlappedDisk::Block OverlappedDisk::NextBlock() {
  std::unique_lock lock(mutex_);
  if (converting_ != nullptr) {
    free_read_.push_back(std::exchange(converting_, nullptr));
    work_.notify_one();
  }
  if (filled_.empty()) {
    converter_waits_.store(true, std::memory_order_relaxed);
    done_.wait(lock, [&] { return !filled_.empty(); });
    converter_waits_.store(false, std::memory_order_relaxed);
  }
  converting_ = filled_.front();
  filled_.pop_front();
  if (converting_->failure) std::rethrow_exception(converting_->failure);
  return {{converting_->bytes, converting_->size}, &converting_->starts};
}

OverlappedDisk::Slot* OverlappedDisk::FreeWriteSlot() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return !free_write_.empty() || write_failure_; });
  if (write_failure_) std::rethrow_exception(write_failure_);
  Slot* slot = free_write_.front();
  free_write_.pop_front();
  return slot;
}

void OverlappedDisk::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    Slot* slot = FreeWriteSlot();
    // A value longer than a block comes in pieces.
    slot->size = std::min(bytes.size(), OutputBuffer::kBlock);
    std::memcpy(slot->data.get(), bytes.data(), slot->size);
    bytes.remove_prefix(slot->size);
    QueueWrite(slot);
  }
}

PageBuffer OverlappedDisk::WriteBlock(PageBuffer block, std::size_t size) {
  Slot* slot = FreeWriteSlot();
  slot->data.swap(block);
  slot->size = size;
  QueueWrite(slot);
  return block;
}

void OverlappedDisk::QueueWrite(Slot* slot) {
  {
    const std::lock_guard lock(mutex_);
    to_write_.push_back(slot);
  }
  work_.notify_one();
}

void OverlappedDisk::FinishWrites() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [&] { return (to_write_.empty() && !writing_) || write_failure_; });
  if (write_failure_) std::rethrow_exception(write_failure_);
}

bool OverlappedDisk::HasWork() const {
  return stop_ || !to_write_.empty() || (!input_ended_ && !free_read_.empty());
}

// Writes first: the converter waits for a free slot to write into sooner
// than for a block to convert, which is read ahead.
void OverlappedDisk::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return HasWork(); });
    if (stop_) return;
    if (!to_write_.empty()) {
      WriteOne(lock);
    } else {
      ReadOne(lock);
    }
    done_.notify_one();
  }
}

void OverlappedDisk::ReadOne(std::unique_lock<std::mutex>& lock) {
  Slot* slot = free_read_.front();
  free_read_.pop_front();
  lock.unlock();
  slot->failure = nullptr;
  try {
    if (mapped_) {
      // The block this slot held was converted: out of memory with it.
      if (slot->bytes != nullptr) {
        input_.ReleaseMapped(static_cast<std::uint64_t>(slot->bytes - mapped_),
                             slot->size);
      }
      slot->bytes = mapped_ + mapped_read_;
      slot->size = static_cast<std::size_t>(
          std::min<std::uint64_t>(block_size_, map_size_ - mapped_read_));
      mapped_read_ += slot->size;
    } else {
      slot->bytes = slot->data.get();
      slot->size = input_.Read(slot->data.get(), block_size_);
    }
    slot->starts = ListSegmentStarts(slot->bytes, slot->size, slot->room.get(),
                                     kStartsRoom, &converter_waits_);
  } catch (...) {
    slot->size = 0;
    slot->failure = std::current_exception();
  }
  lock.lock();
  if (slot->failure || slot->size < block_size_) input_ended_ = true;
  filled_.push_back(slot);
}

void OverlappedDisk::WriteOne(std::unique_lock<std::mutex>& lock) {
  Slot* slot = to_write_.front();
  to_write_.pop_front();
  writing_ = true;
  const bool failed_before = write_failure_ != nullptr;
  lock.unlock();
  std::exception_ptr failure;
  if (!failed_before) {
    try {
      output_.Write(std::string_view(slot->data.get(), slot->size));
    } catch (...) {
      failure = std::current_exception();
    }
  }
  lock.lock();
  writing_ = false;
  if (failure) write_failure_ = failure;
  free_write_.push_back(slot);
}

}  // namespace ledgerlift
