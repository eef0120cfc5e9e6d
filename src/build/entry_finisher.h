#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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
  // Appends the finished bytes of one text to `out`. Called on any thread.
  using Finish = std::function<void(std::string_view text, std::string& out)>;

  static constexpr std::size_t kBatchBytes = std::size_t{256} << 10;

  enum class State { kSkipped, kFinished, kFailed };
  struct Entry {
    State state = State::kSkipped;
    std::string_view bytes;  // the finished bytes, valid until the next Take
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
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

}  // namespace tavrin
