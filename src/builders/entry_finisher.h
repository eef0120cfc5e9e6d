#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "source/markup.h"

namespace tavrin {

// Finishes the texts of a module's entries on several threads while the caller takes them in
// entry order. Entries are grouped into batches of about `batch_bytes` of text; helper threads
// work ahead of the caller by a few batches at most, so the finished bytes held at any time stay
// small, and the caller finishes a batch itself when no helper has taken it yet. The result is
// the same whatever the number of helpers.
class EntryFinisher {
 public:
  // An entry's text, or nothing when the entry is skipped. Called on any thread: it must only
  // read.
  using TextOf = std::function<std::optional<std::string_view>(int)>;
  // Appends the finished bytes of one text to `out`, working in `buffers` (one set per thread,
  // kept from text to text). Called on any thread.
  using Finish =
      std::function<void(std::string_view text, std::string& out, ConversionBuffers& buffers)>;

  static constexpr std::size_t kBatchBytes = std::size_t{256} << 10;

  enum class State { kSkipped, kFinished, kFailed };
  struct Entry {
    State state = State::kSkipped;
    std::string_view bytes;  // the finished bytes, valid until the next Take
    // The bytes stay in place until the build has ended (they need not be copied).
    bool lasting = false;
  };

  EntryFinisher(int count, TextOf text_of, Finish finish, unsigned helpers,
                std::size_t batch_bytes = kBatchBytes);
  // Stops and joins the helpers.
  ~EntryFinisher();
  EntryFinisher(const EntryFinisher&) = delete;
  EntryFinisher& operator=(const EntryFinisher&) = delete;

  // One helper less than the cores: the caller's thread works too. Fewer than two batches of
  // text start no helper at all.
  static unsigned DefaultHelpers();

  // Entry `index`; entries are taken in order 0, 1, 2, ... While a helper is still finishing
  // it, `waiting` is called every few milliseconds.
  Entry Take(int index, const std::function<void()>& waiting);

 private:
  struct Batch {
    int first = 0;
    int last = 0;  // one past the batch's last entry
    std::size_t text_bytes = 0;
    std::string bytes;
    std::vector<std::size_t> ends;  // end of each entry's bytes
    std::vector<State> states;
    bool done = false;
  };

  void Run(Batch& batch);
  void Help();

  TextOf text_of_;
  Finish finish_;
  std::vector<Batch> batches_;
  std::size_t window_ = 1;

  std::mutex mutex_;
  std::condition_variable work_;  // a batch may be taken, or stop
  std::condition_variable done_;  // a batch was finished
  std::size_t next_ = 0;          // the first batch nobody has taken
  std::size_t current_ = 0;       // the caller's batch
  // The caller's batch once the caller has seen it finished (the caller's own variable).
  std::size_t ready_ = static_cast<std::size_t>(-1);
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

// Finishes texts on helper threads while the caller goes on reading the source: texts are added
// one by one, in batches of about `batch_bytes`, and once Wait has returned each one's finished
// bytes can be read by its number, in any order. A text's own bytes are freed once finished,
// unless the texts are kept (`keep_texts`) to be read back with Text.
class BackgroundFinisher {
 public:
  BackgroundFinisher(EntryFinisher::Finish finish, unsigned helpers,
                     std::size_t batch_bytes = EntryFinisher::kBatchBytes, bool keep_texts = false);
  // Stops and joins the helpers; what they have not finished is dropped (after Cancel).
  ~BackgroundFinisher();
  BackgroundFinisher(const BackgroundFinisher&) = delete;
  BackgroundFinisher& operator=(const BackgroundFinisher&) = delete;

  // Queues a copy of `text` and returns its number. The texts of a batch lie in one buffer.
  int Add(std::string_view text);
  // The buffer of the open batch, for the caller to write the next text straight onto its end;
  // CloseText then queues the bytes written since the last text as the next text and returns
  // its number. The buffer may be a new one after each CloseText.
  std::string& OpenBuffer();
  int CloseText();
  // Finishes what is left, the caller's thread working too; `waiting` is called every few
  // milliseconds while only helpers are busy.
  void Wait(const std::function<void()>& waiting);
  // The finished bytes of text `number` (after Wait); they last as long as the finisher.
  EntryFinisher::Entry Get(int number) const;
  // Text `number` as it was added, at any time (only when the texts are kept); valid until the
  // next Add.
  std::string_view Text(int number) const;

 private:
  struct Batch {
    std::string texts;  // one behind the other
    std::vector<std::size_t> text_ends;
    std::string bytes;
    std::vector<std::size_t> ends;
    std::vector<EntryFinisher::State> states;
  };

  void Run(Batch& batch);
  void Help();
  // The batch that takes the next text (a new one when the last is sealed); the same with the
  // text's number recorded; and the sealing of that batch once it holds enough.
  Batch& Open();
  Batch& OpenBatch(int& number);
  void SealIfFull(const Batch& batch);
  void Seal();

  EntryFinisher::Finish finish_;
  std::size_t batch_bytes_;
  bool keep_texts_;
  // A deque: batches keep their place while more are added.
  std::deque<Batch> batches_;
  std::vector<std::uint32_t> batch_of_;  // the batch of each text
  std::vector<std::uint32_t> slot_of_;   // its place in the batch
  // Once Wait has returned, the finished bytes of every text by number in one table: modules
  // take them in another order than they were added, and one look-up costs less than five
  // scattered ones.
  struct Finished {
    const char* bytes;
    std::size_t size;
    EntryFinisher::State state;
  };
  std::vector<Finished> finished_;

  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable done_;
  std::size_t sealed_ = 0;  // batches complete and free to be taken: [next_, sealed_)
  std::size_t next_ = 0;
  std::size_t done_count_ = 0;
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

}  // namespace tavrin
