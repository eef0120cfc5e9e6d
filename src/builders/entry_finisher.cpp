#include "builders/entry_finisher.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

namespace tavrin {

namespace {

// Finishes texts 0..count-1 of a batch into `bytes`, with the end and state of each.
template <typename TextAt>
void FinishBatch(std::size_t count, TextAt text_at, const EntryFinisher::Finish& finish,
                 std::string& bytes, std::vector<std::size_t>& ends,
                 std::vector<EntryFinisher::State>& states) {
  using State = EntryFinisher::State;
  ConversionBuffers buffers;
  ends.reserve(count);
  states.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t start = bytes.size();
    State state = State::kSkipped;
    try {
      if (const std::optional<std::string_view> text = text_at(k)) {
        finish(*text, bytes, buffers);
        buffers.ReleaseLarge();
        state = State::kFinished;
      }
    } catch (const std::exception&) {
      bytes.resize(start);
      state = State::kFailed;
    }
    ends.push_back(bytes.size());
    states.push_back(state);
  }
}

EntryFinisher::Entry EntryAt(const std::string& bytes, const std::vector<std::size_t>& ends,
                             const std::vector<EntryFinisher::State>& states, std::size_t k) {
  const std::size_t start = k == 0 ? 0 : ends[k - 1];
  return EntryFinisher::Entry{states[k], std::string_view(bytes).substr(start, ends[k] - start)};
}

// Tells the helpers to stop after the batch in hand and waits for them.
void StopHelpers(std::mutex& mutex, bool& stop, std::condition_variable& work,
                 std::vector<std::thread>& helpers) {
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  work.notify_all();
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace

EntryFinisher::EntryFinisher(int count, TextOf text_of, Finish finish, unsigned helpers,
                             std::size_t batch_bytes)
    : text_of_(std::move(text_of)), finish_(std::move(finish)) {
  // Batches are cut by the size of their texts, so that one large entry does not hold up many
  // small ones behind it.
  std::size_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    if (batches_.empty() || bytes >= batch_bytes) {
      batches_.push_back(Batch{i, i});
      bytes = 0;
    }
    batches_.back().last = i + 1;
    if (const std::optional<std::string_view> text = text_of_(i)) {
      bytes += text->size() + 1;
      batches_.back().text_bytes += text->size() + 1;
    }
  }
  if (batches_.size() < 2) helpers = 0;
  // Helpers stay this many batches ahead of the caller at most.
  window_ = 2 * (std::size_t{helpers} + 1);
  for (unsigned h = 0; h < helpers; ++h) helpers_.emplace_back([this] { Help(); });
}

EntryFinisher::~EntryFinisher() { StopHelpers(mutex_, stop_, work_, helpers_); }

unsigned EntryFinisher::DefaultHelpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1U, 8U) - 1;
}

void EntryFinisher::Run(Batch& batch) {
  // Finished texts are rarely longer than their sources: one allocation for the batch.
  batch.bytes.reserve(batch.text_bytes + batch.text_bytes / 32);
  FinishBatch(
      static_cast<std::size_t>(batch.last - batch.first),
      [&](std::size_t k) { return text_of_(batch.first + static_cast<int>(k)); }, finish_,
      batch.bytes, batch.ends, batch.states);
}

void EntryFinisher::Help() {
  for (;;) {
    std::size_t b = 0;
    {
      std::unique_lock lock(mutex_);
      work_.wait(lock,
                 [&] { return stop_ || next_ >= batches_.size() || next_ < current_ + window_; });
      if (stop_ || next_ >= batches_.size()) return;
      b = next_++;
    }
    Run(batches_[b]);
    {
      std::lock_guard lock(mutex_);
      batches_[b].done = true;
    }
    done_.notify_all();
  }
}

EntryFinisher::Entry EntryFinisher::Take(int index, const std::function<void()>& waiting) {
  // Within a batch already seen finished, nothing is shared any more: no lock.
  if (ready_ == current_ && current_ < batches_.size() && index < batches_[current_].last) {
    const Batch& batch = batches_[current_];
    return EntryAt(batch.bytes, batch.ends, batch.states,
                   static_cast<std::size_t>(index - batch.first));
  }
  std::unique_lock lock(mutex_);
  if (batches_.empty()) return {};
  if (index >= batches_[current_].last) {
    // The caller is done with this batch: its bytes go, and the helpers may go further.
    std::string().swap(batches_[current_].bytes);
    while (current_ + 1 < batches_.size() && index >= batches_[current_].last) ++current_;
    work_.notify_all();
  }
  Batch& batch = batches_[current_];
  while (!batch.done) {
    if (next_ < batches_.size() && next_ < current_ + window_) {
      // Rather than wait, the caller finishes the next batch nobody has taken (its own, when
      // no helper has come to it yet).
      Batch& taken = batches_[next_++];
      lock.unlock();
      Run(taken);
      lock.lock();
      taken.done = true;
      continue;
    }
    if (!done_.wait_for(lock, std::chrono::milliseconds(20), [&] { return batch.done; })) {
      lock.unlock();
      waiting();
      lock.lock();
    }
  }
  ready_ = current_;
  return EntryAt(batch.bytes, batch.ends, batch.states,
                 static_cast<std::size_t>(index - batch.first));
}

BackgroundFinisher::BackgroundFinisher(EntryFinisher::Finish finish, unsigned helpers,
                                       std::size_t batch_bytes, bool keep_texts)
    : finish_(std::move(finish)), batch_bytes_(batch_bytes), keep_texts_(keep_texts) {
  for (unsigned h = 0; h < helpers; ++h) helpers_.emplace_back([this] { Help(); });
}

BackgroundFinisher::~BackgroundFinisher() { StopHelpers(mutex_, stop_, work_, helpers_); }

BackgroundFinisher::Batch& BackgroundFinisher::Open() {
  // Helpers index the deque: it grows under the lock. The open batch itself is this thread's
  // alone until it is sealed.
  std::lock_guard lock(mutex_);
  if (batches_.size() == sealed_) {
    batches_.emplace_back();
    batches_.back().texts.reserve(std::min(batch_bytes_, std::size_t{1} << 24) + batch_bytes_ / 8);
  }
  return batches_.back();
}

BackgroundFinisher::Batch& BackgroundFinisher::OpenBatch(int& number) {
  Batch& batch = Open();
  number = static_cast<int>(batch_of_.size());
  batch_of_.push_back(static_cast<std::uint32_t>(batches_.size() - 1));
  slot_of_.push_back(static_cast<std::uint32_t>(batch.text_ends.size()));
  return batch;
}

void BackgroundFinisher::Seal() {
  {
    std::lock_guard lock(mutex_);
    ++sealed_;
  }
  work_.notify_one();
}

void BackgroundFinisher::SealIfFull(const Batch& batch) {
  // Each text counts with its terminator.
  if (batch.texts.size() + batch.text_ends.size() >= batch_bytes_) Seal();
}

std::string& BackgroundFinisher::OpenBuffer() { return Open().texts; }

int BackgroundFinisher::CloseText() {
  int number = 0;
  Batch& batch = OpenBatch(number);
  batch.text_ends.push_back(batch.texts.size());
  SealIfFull(batch);
  return number;
}

int BackgroundFinisher::Add(std::string_view text) {
  OpenBuffer().append(text);
  return CloseText();
}

void BackgroundFinisher::Run(Batch& batch) {
  // Finished texts are rarely longer than their sources: one allocation for the batch.
  batch.bytes.reserve(batch.texts.size() + batch.text_ends.size() + batch.texts.size() / 32);
  FinishBatch(
      batch.text_ends.size(),
      [&](std::size_t k) {
        const std::size_t start = k == 0 ? 0 : batch.text_ends[k - 1];
        return std::optional<std::string_view>(
            std::string_view(batch.texts).substr(start, batch.text_ends[k] - start));
      },
      finish_, batch.bytes, batch.ends, batch.states);
  if (!keep_texts_) {
    std::string().swap(batch.texts);
    std::vector<std::size_t>().swap(batch.text_ends);
  }
}

void BackgroundFinisher::Help() {
  for (;;) {
    Batch* batch = nullptr;
    {
      std::unique_lock lock(mutex_);
      work_.wait(lock, [&] { return stop_ || next_ < sealed_; });
      if (stop_) return;
      batch = &batches_[next_++];
    }
    Run(*batch);
    {
      std::lock_guard lock(mutex_);
      ++done_count_;
    }
    done_.notify_all();
  }
}

void BackgroundFinisher::Wait(const std::function<void()>& waiting) {
  std::unique_lock lock(mutex_);
  sealed_ = batches_.size();
  work_.notify_all();
  for (;;) {
    if (next_ < sealed_) {
      Batch& batch = batches_[next_++];
      lock.unlock();
      Run(batch);
      lock.lock();
      ++done_count_;
      continue;
    }
    if (done_count_ == batches_.size()) break;
    if (!done_.wait_for(lock, std::chrono::milliseconds(20),
                        [&] { return done_count_ == batches_.size(); })) {
      lock.unlock();
      waiting();
      lock.lock();
    }
  }
  // Texts are numbered in the order of the batches and of their places in them.
  finished_.clear();
  finished_.reserve(batch_of_.size());
  for (const Batch& batch : batches_) {
    for (std::size_t k = 0; k < batch.ends.size(); ++k) {
      const EntryFinisher::Entry entry = EntryAt(batch.bytes, batch.ends, batch.states, k);
      finished_.push_back(Finished{entry.bytes.data(), entry.bytes.size(), entry.state});
    }
  }
}

EntryFinisher::Entry BackgroundFinisher::Get(int number) const {
  const Finished& f = finished_[static_cast<std::size_t>(number)];
  return EntryFinisher::Entry{f.state, std::string_view(f.bytes, f.size), true};
}

std::string_view BackgroundFinisher::Text(int number) const {
  // Helpers only read the texts of a batch, and only this thread adds to one: no lock.
  const auto n = static_cast<std::size_t>(number);
  const Batch& batch = batches_[batch_of_[n]];
  const std::size_t slot = slot_of_[n];
  const std::size_t start = slot == 0 ? 0 : batch.text_ends[slot - 1];
  return std::string_view(batch.texts).substr(start, batch.text_ends[slot] - start);
}

}  // namespace tavrin
