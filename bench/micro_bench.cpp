// Micro benchmarks of the per-byte and per-entry work: the markup conversion (fast and
// step-by-step), line cleaning and the topic sort.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "builders/body_line.h"
#include "mstrlist/mstrlist.h"
#include "source/markup.h"
#include "support/reference_conversion.h"

namespace tavrin {
namespace {

const TextLocale& Locale() {
  static TextLocale locale("en_US", 1252);
  return locale;
}

std::string TaggedText(std::size_t bytes) {
  std::mt19937 rng(5);
  const char* pieces[] = {"word ",
                          "<b>bold</b> ",
                          "<i>\r\nslanted\r\n</i>",
                          " <br> ",
                          "<color=red>x</color>",
                          "a < b ",
                          "<lit><br></lit>",
                          "\r\n"};
  std::string s;
  while (s.size() < bytes) s += pieces[rng() % 8];
  return s;
}

void Convert(benchmark::State& state, bool reference, bool keep_tags) {
  TagTable tags = BuildTagTable();
  LinkSettings links;
  MarkupContext context{tags, links, Locale()};
  std::string text = TaggedText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string out = reference ? ConvertEntryTextReference(text, keep_tags, context)
                                : ConvertEntryText(text, keep_tags, context);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

void BM_ConvertEntryText(benchmark::State& state) { Convert(state, false, true); }
void BM_ConvertEntryTextStrip(benchmark::State& state) { Convert(state, false, false); }
void BM_ConvertEntryTextReference(benchmark::State& state) { Convert(state, true, true); }
BENCHMARK(BM_ConvertEntryText)->RangeMultiplier(4)->Range(1 << 12, 1 << 24);
BENCHMARK(BM_ConvertEntryTextStrip)->RangeMultiplier(4)->Range(1 << 12, 1 << 24);
BENCHMARK(BM_ConvertEntryTextReference)->RangeMultiplier(4)->Range(1 << 12, 1 << 16);

// Topics as a dictionary source gathers them: lines of words with some bold, italic, links,
// colours and breaks, each line ending in a line break, an empty line now and then.
std::vector<std::string> GatheredTopics(int count) {
  std::mt19937 rng(11);
  auto range = [&](int lo, int hi) { return lo + static_cast<int>(rng() % (hi - lo + 1)); };
  const char* syllables[] = {"ba", "ra", "kel", "mon", "thi", "sa", "lo", "ven", "dor", "mi"};
  auto word = [&] {
    std::string w;
    for (int k = range(1, 4); k > 0; --k) w += syllables[range(0, 9)];
    return w;
  };
  std::vector<std::string> topics;
  for (int t = 0; t < count; ++t) {
    std::string s;
    for (int lines = range(3, 30); lines > 0; --lines) {
      if (range(0, 9) == 0) s += "\r\n";
      for (int i = range(6, 18); i > 0; --i) {
        const int r = range(0, 99);
        if (r < 4)
          s += "<b>" + word() + "</b>";
        else if (r < 7)
          s += "<i>" + word() + " " + word() + "</i>";
        else if (r < 8)
          s += "<link bible=Gen 1:" + std::to_string(range(1, 31)) + ">" + word() + "</link>";
        else if (r < 9)
          s += "<color=red>" + word() + "</color>";
        else if (r < 10)
          s += word() + "<br>";
        else
          s += word();
        s += i > 1 ? " " : ".";
      }
      s += "\r\n";
    }
    topics.push_back(s);
  }
  return topics;
}

// The whole finishing of dictionary topics in the current format, as the builder's helpers run
// it: one set of buffers, every text appended to one batch.
void BM_FinishTopics(benchmark::State& state) {
  TagTable tags = BuildTagTable();
  LinkSettings links;
  MarkupContext context{tags, links, Locale()};
  BuildOptions options;
  const std::vector<std::string> topics = GatheredTopics(2000);
  std::int64_t bytes = 0;
  for (const std::string& t : topics) bytes += static_cast<std::int64_t>(t.size());
  ConversionBuffers buffers;
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (const std::string& t : topics)
      AppendFinishedEntryText(t, options, true, context, out, buffers);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}
BENCHMARK(BM_FinishTopics)->Unit(benchmark::kMillisecond);

void BM_CleanLine(benchmark::State& state) {
  BuildOptions options;
  std::string line = "   some   words  with\tblanks   and \xA4 marks   " + TaggedText(200);
  for (auto _ : state) benchmark::DoNotOptimize(CleanLine(line, options, false));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(line.size()));
}
BENCHMARK(BM_CleanLine);

void BM_SortTopics(benchmark::State& state) {
  std::mt19937 rng(9);
  std::vector<std::string> names;
  for (int i = 0; i < state.range(0); ++i) {
    std::string name;
    for (int k = 0; k < 12; ++k) name += static_cast<char>('a' + rng() % 26);
    if (rng() % 3 == 0) name[0] = static_cast<char>(name[0] - 32);
    names.push_back(name);
  }
  for (auto _ : state) {
    state.PauseTiming();
    TmStrList list(Locale());
    for (const std::string& name : names) list.Add(name);
    state.ResumeTiming();
    list.Sort();
  }
}
BENCHMARK(BM_SortTopics)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavrin

BENCHMARK_MAIN();
