#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "run/file_system.h"
#include "statement/output_buffer.h"
#include "statement/segment_starts.h"

namespace ledgerlift {

// A large statement is converted while a second thread reads the blocks
// after the one being converted, lists their segment starts, and writes the register's
// blocks the converter has finished: reading and writing cost the system
// about as much time as converting costs the program, and on two cores they
// overlap. Below this size a second thread would cost more than it saves.
inline constexpr std::uint64_t kOverlapFrom = 4 << 20;

// The disk's side of a run on a thread of its own. Blocks are read ahead
// into a few slots (or, where the system maps the file into memory, read in
// place, the thread touching each first) and the bytes written go through
// a few more slots, so memory stays fixed whatever the file's size. The slots are as
// large as the buffer of `OutputBuffer`, whose full buffers take a slot's place. A
// failure on the thread is handed to the converter's thread, as it was thrown, where it
// would have been seen without the thread: a read's at the block it failed on, a write's
// at the next write or at `FinishWrites`. Once a write failed no more are
// made.
class OverlappedDisk : public ByteSink {
 public:
  // Starts reading `input` in blocks of `block_size`, at most
  // `OutputBuffer::kBlock`.
  OverlappedDisk(InputFile& input, ByteSink& output, std::size_t block_size);
  // Stops the thread; writes still waiting are dropped (the run failed).
  ~OverlappedDisk() override;
  OverlappedDisk(const OverlappedDisk&) = delete;
  OverlappedDisk& operator=(const OverlappedDisk&) = delete;

  // The next block of the input, as `InputFile::Read` would give it
  // (shorter than `block_size` only at the end), with its segment starts
  // (ListSegmentStarts), listed on the thread too. Both stay valid until the
  // next call.
  struct Block {
    std::string_view bytes;
    const SegmentStarts* starts;
  };
  Block NextBlock();

  // Queues a copy of `bytes` for writing.
  void Write(std::string_view bytes) override;
  // Queues `block` itself for writing, and gives back a free one.
  PageBuffer WriteBlock(PageBuffer block, std::size_t size) override;

  // Waits until every queued byte is written.
  void FinishWrites();

 private:
  struct Slot {
    PageBuffer data;              // none for a mapped input
    const char* bytes = nullptr;  // of a block read: in `data` or in the mapping
    std::size_t size = 0;
    std::unique_ptr<SegmentStarts::Start[]> room;  // for the starts of a block read
    SegmentStarts starts;                          // of a block read
    std::exception_ptr failure;                    // of the read that filled it
  };
  static constexpr int kSlots = 4;  // for each direction

  void Run();
  bool HasWork() const;
  void ReadOne(std::unique_lock<std::mutex>& lock);
  void WriteOne(std::unique_lock<std::mutex>& lock);
  Slot* FreeWriteSlot();        // waits for one
  void QueueWrite(Slot* slot);  // filled, for the thread to write

  InputFile& input_;
  ByteSink& output_;
  const std::size_t block_size_;
  const char* const mapped_;  // the input in memory, if the system mapped it
  const std::uint64_t map_size_;
  std::uint64_t mapped_read_ = 0;  // the bytes of the mapping handed on

  std::mutex mutex_;
  std::condition_variable work_;  // wakes the thread
  std::condition_variable done_;  // wakes the converter's thread
  std::vector<Slot> read_slots_, write_slots_;
  std::deque<Slot*> free_read_, filled_;     // for reading; read, to convert
  std::deque<Slot*> free_write_, to_write_;  // for writing; to write
  Slot* converting_ = nullptr;               // the block `NextBlock` gave
  // The converter waits for a block: the one being listed is handed over
  // with the rest of its starts unlisted.
  std::atomic<bool> converter_waits_ = false;
  bool input_ended_ = false;  // a short read or a failure
  bool writing_ = false;      // a write is under way
  std::exception_ptr write_failure_;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once everything else is ready
};

}  // namespace ledgerlift
