#include "builders/entry_finisher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tavrin {
namespace {

// Entry i is "e<i>" repeated i % 7 times; every 5th entry is skipped, every 11th fails.
std::vector<std::string> Texts(int count) {
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) {
    std::string t;
    for (int k = 0; k < i % 7; ++k) t += "e" + std::to_string(i);
    texts.push_back(t);
  }
  return texts;
}

struct Taken {
  std::vector<EntryFinisher::State> states;
  std::vector<std::string> bytes;
};

Taken TakeAll(const std::vector<std::string>& texts, unsigned helpers, std::size_t batch_bytes,
              int stop_after = -1) {
  const int count = static_cast<int>(texts.size());
  EntryFinisher finisher(
      count,
      [&](int i) -> std::optional<std::string_view> {
        if (i % 5 == 0) return std::nullopt;
        return texts[static_cast<std::size_t>(i)];
      },
      [](std::string_view text, std::string& out, ConversionBuffers&) {
        out += "half";  // taken back when the entry fails
        if (text.starts_with("e11") || text.starts_with("e22")) throw std::runtime_error("no");
        out.resize(out.size() - 4);
        for (char c : text) out += static_cast<char>(c ^ 0x20);
        out += '\0';
      },
      helpers, batch_bytes);
  Taken taken;
  for (int i = 0; i < count && i != stop_after; ++i) {
    const EntryFinisher::Entry entry = finisher.Take(i, [] {});
    taken.states.push_back(entry.state);
    taken.bytes.emplace_back(entry.bytes);
  }
  return taken;
}

TEST(EntryFinisher, SameEntriesInOrderWhateverTheHelpersAndBatches) {
  const std::vector<std::string> texts = Texts(3000);
  const Taken alone = TakeAll(texts, 0, 1 << 20);
  ASSERT_EQ(alone.states.size(), texts.size());
  EXPECT_EQ(alone.states[0], EntryFinisher::State::kSkipped);
  EXPECT_EQ(alone.bytes[0], "");
  EXPECT_EQ(alone.states[11], EntryFinisher::State::kFailed);
  EXPECT_EQ(alone.bytes[11], "");
  EXPECT_EQ(alone.states[3], EntryFinisher::State::kFinished);
  EXPECT_EQ(alone.bytes[3], std::string("E\x13"
                                        "E\x13"
                                        "E\x13") +
                                '\0');
  // An empty text is finished too (only nothing is skipped).
  EXPECT_EQ(alone.states[7], EntryFinisher::State::kFinished);
  EXPECT_EQ(alone.bytes[7], std::string(1, '\0'));

  for (unsigned helpers : {1U, 3U, 7U}) {
    for (std::size_t batch : {std::size_t{1}, std::size_t{50}, std::size_t{4096}}) {
      SCOPED_TRACE(std::to_string(helpers) + " helpers, batches of " + std::to_string(batch));
      const Taken taken = TakeAll(texts, helpers, batch);
      EXPECT_EQ(taken.states, alone.states);
      EXPECT_EQ(taken.bytes, alone.bytes);
    }
  }
}

TEST(EntryFinisher, StoppingEarlyAndEmptyJobsEndCleanly) {
  const std::vector<std::string> texts = Texts(2000);
  // The caller stops taking (Cancel): the helpers are stopped and joined by the destructor.
  EXPECT_EQ(TakeAll(texts, 3, 16, 100).states.size(), 100U);
  EXPECT_TRUE(TakeAll({}, 3, 16).states.empty());
  EXPECT_EQ(TakeAll(Texts(1), 3, 16).states.size(), 1U);
}

TEST(EntryFinisher, CallsWaitingWhileAHelperHoldsTheEntry) {
  std::atomic<bool> release{false};
  std::atomic<bool> started{false};
  EntryFinisher finisher(
      2,
      [](int i) -> std::optional<std::string_view> {
        return std::string_view(i == 0 ? "slow" : "x");
      },
      [&](std::string_view text, std::string& out, ConversionBuffers&) {
        if (text == "slow") {
          started = true;
          while (!release) std::this_thread::yield();
        }
        out += text;
      },
      1, 1);
  // The helper holds batch 0 until the caller, waiting for it, lets it go.
  while (!started) std::this_thread::yield();
  int waited = 0;
  const EntryFinisher::Entry first = finisher.Take(0, [&] {
    ++waited;
    release = true;
  });
  EXPECT_EQ(first.bytes, "slow");
  EXPECT_EQ(finisher.Take(1, [] {}).bytes, "x");
  EXPECT_GE(waited, 1);
}

TEST(BackgroundFinisher, TextsAreReadBackByNumberInAnyOrder) {
  const std::vector<std::string> texts = Texts(3000);
  auto finish = [](std::string_view text, std::string& out, ConversionBuffers&) {
    if (text.starts_with("e11")) throw std::runtime_error("no");
    out += '[';
    out += text;
    out += ']';
  };
  for (unsigned helpers : {0U, 1U, 3U}) {
    for (std::size_t batch : {std::size_t{1}, std::size_t{100}, std::size_t{1} << 20}) {
      SCOPED_TRACE(std::to_string(helpers) + " helpers, batches of " + std::to_string(batch));
      BackgroundFinisher finisher(finish, helpers, batch);
      std::vector<int> numbers;
      for (const std::string& text : texts) numbers.push_back(finisher.Add(text));
      int waited = 0;
      finisher.Wait([&] { ++waited; });
      for (std::size_t i = texts.size(); i-- > 0;) {
        ASSERT_EQ(numbers[i], static_cast<int>(i));
        const EntryFinisher::Entry entry = finisher.Get(numbers[i]);
        if (texts[i].starts_with("e11")) {
          EXPECT_EQ(entry.state, EntryFinisher::State::kFailed);
          EXPECT_EQ(entry.bytes, "");
        } else {
          EXPECT_EQ(entry.state, EntryFinisher::State::kFinished);
          EXPECT_EQ(entry.bytes, "[" + texts[i] + "]");
        }
      }
    }
  }
  // Dropped before Wait (Cancel while reading): the helpers are stopped.
  BackgroundFinisher dropped(finish, 3, 1);
  for (const std::string& text : texts) dropped.Add(text);
}

TEST(BackgroundFinisher, KeptTextsAreReadBackWhileHelpersFinishThem) {
  const std::vector<std::string> texts = Texts(3000);
  auto finish = [](std::string_view text, std::string& out, ConversionBuffers&) {
    out += '<';
    out += text;
    out += '>';
  };
  BackgroundFinisher finisher(finish, 2, 64, true);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(finisher.Add(texts[i]), static_cast<int>(i));
    // Earlier texts, of batches that helpers may be finishing right now.
    const std::size_t back = i / 2;
    ASSERT_EQ(finisher.Text(static_cast<int>(back)), texts[back]);
  }
  // Texts written straight into the open batch; bytes written and taken back are no text, and
  // a text larger than a batch seals the batch it ends.
  const std::string large(5000, 'L');
  finisher.OpenBuffer() += "dropped";
  std::string& open = finisher.OpenBuffer();
  open.resize(open.size() - 7);
  finisher.OpenBuffer() += large;
  const int first_large = finisher.CloseText();
  finisher.OpenBuffer() += "s";
  const int small = finisher.CloseText();
  EXPECT_EQ(finisher.Text(first_large), large);
  EXPECT_EQ(finisher.Text(small), "s");
  finisher.Wait([] {});
  EXPECT_EQ(finisher.Get(first_large).bytes, "<" + large + ">");
  EXPECT_EQ(finisher.Get(small).bytes, "<s>");
  for (std::size_t i = 0; i < texts.size(); i += 7) {
    EXPECT_EQ(finisher.Text(static_cast<int>(i)), texts[i]);
    const EntryFinisher::Entry entry = finisher.Get(static_cast<int>(i));
    EXPECT_EQ(entry.bytes, "<" + texts[i] + ">");
    EXPECT_TRUE(entry.lasting);
  }
}

}  // namespace
}  // namespace tavrin
