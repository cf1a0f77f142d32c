// The conversion core's throughput on generated statements of each layout,
// fed in the input blocks the program reads, with the output going nowhere:
// on one thread (Convert), and the two shares of a large statement's two
// threads, listing the blocks' segment starts (ListStarts) and converting
// by those lists (ConvertListed).
// Run: build/default/bench/conversion_benchmark

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "statement/converter.h"
#include "statement/segment_starts.h"
#include "statement_generator.h"

namespace {

using ledgerlift::bench::Layout;

class DiscardingSink : public ledgerlift::ByteSink {
 public:
  void Write(std::string_view bytes) override {
    benchmark::DoNotOptimize(bytes.data());
    written += bytes.size();
  }
  std::uint64_t written = 0;
};

const std::string& Statement(Layout layout) {
  static std::string statements[std::size(ledgerlift::bench::kAllLayouts)];
  std::string& text = statements[static_cast<int>(layout)];
  if (text.empty()) {
    text = ledgerlift::bench::GenerateStatement(
        {.count = 40000, .seed = 7, .layout = layout});
  }
  return text;
}

// Arguments: the layout, and the size of the blocks the input arrives in.
void Convert(benchmark::State& state) {
  const Layout layout = static_cast<Layout>(state.range(0));
  const size_t block = static_cast<size_t>(state.range(1));
  const std::string_view input = Statement(layout);
  state.SetLabel(std::string(ledgerlift::bench::LayoutName(layout)));
  for (auto _ : state) {
    DiscardingSink sink;
    ledgerlift::Converter converter(sink);
    for (size_t at = 0; at < input.size(); at += block) {
      converter.Feed(input.substr(at, block));
    }
    converter.Finish();
    benchmark::DoNotOptimize(sink.written);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// The room the second thread lists a block's starts in.
constexpr size_t kRoom = ledgerlift::kReadBlockSize / 8;

void ListStarts(benchmark::State& state) {
  const Layout layout = static_cast<Layout>(state.range(0));
  const std::string_view input = Statement(layout);
  state.SetLabel(std::string(ledgerlift::bench::LayoutName(layout)));
  std::vector<ledgerlift::SegmentStarts::Start> room(kRoom);
  for (auto _ : state) {
    for (size_t at = 0; at < input.size(); at += ledgerlift::kReadBlockSize) {
      const std::string_view block = input.substr(at, ledgerlift::kReadBlockSize);
      benchmark::DoNotOptimize(
          ledgerlift::ListSegmentStarts(block.data(), block.size(), room.data(), kRoom));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void ConvertListed(benchmark::State& state) {
  const Layout layout = static_cast<Layout>(state.range(0));
  const std::string_view input = Statement(layout);
  state.SetLabel(std::string(ledgerlift::bench::LayoutName(layout)));
  std::vector<std::vector<ledgerlift::SegmentStarts::Start>> rooms;
  std::vector<ledgerlift::SegmentStarts> lists;
  for (size_t at = 0; at < input.size(); at += ledgerlift::kReadBlockSize) {
    const std::string_view block = input.substr(at, ledgerlift::kReadBlockSize);
    rooms.emplace_back(kRoom);
    lists.push_back(ledgerlift::ListSegmentStarts(block.data(), block.size(),
                                                  rooms.back().data(), kRoom));
  }
  for (auto _ : state) {
    DiscardingSink sink;
    ledgerlift::Converter converter(sink);
    for (size_t i = 0; i < lists.size(); ++i) {
      converter.Feed(
          input.substr(i * ledgerlift::kReadBlockSize, ledgerlift::kReadBlockSize),
          &lists[i]);
    }
    converter.Finish();
    benchmark::DoNotOptimize(sink.written);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

constexpr std::initializer_list<std::int64_t> kLayouts = {
    static_cast<int>(Layout::kOnePerLine), static_cast<int>(Layout::kOneLine),
    static_cast<int>(Layout::kMultiLine), static_cast<int>(Layout::kIndented),
    static_cast<int>(Layout::kXml)};

BENCHMARK(ListStarts)
    ->ArgName("layout")
    ->ArgsProduct({kLayouts})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertListed)
    ->ArgName("layout")
    ->ArgsProduct({kLayouts})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(Convert)
    ->ArgNames({"layout", "block"})
    ->ArgsProduct({kLayouts,
                   {static_cast<std::int64_t>(ledgerlift::kReadBlockSize), 4096}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
