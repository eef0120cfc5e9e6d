#include "build/entry_finisher.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

namespace tavrin {

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
    if (const std::optional<std::string_view> text = text_of_(i)) bytes += text->size() + 1;
  }
  if (batches_.size() < 2) helpers = 0;
  // Helpers stay this many batches ahead of the caller at most.
  window_ = 2 * (std::size_t{helpers} + 1);
  for (unsigned h = 0; h < helpers; ++h) helpers_.emplace_back([this] { Help(); });
}

EntryFinisher::~EntryFinisher() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

unsigned EntryFinisher::DefaultHelpers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1U, 8U) - 1;
}

void EntryFinisher::Run(Batch& batch) {
  const auto count = static_cast<std::size_t>(batch.last - batch.first);
  batch.ends.reserve(count);
  batch.states.reserve(count);
  for (int i = batch.first; i < batch.last; ++i) {
    const std::size_t start = batch.bytes.size();
    State state = State::kSkipped;
    try {
      if (const std::optional<std::string_view> text = text_of_(i)) {
        finish_(*text, batch.bytes);
        state = State::kFinished;
      }
    } catch (const std::exception&) {
      batch.bytes.resize(start);
      state = State::kFailed;
    }
    batch.ends.push_back(batch.bytes.size());
    batch.states.push_back(state);
  }
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
  const auto k = static_cast<std::size_t>(index - batch.first);
  const std::size_t start = k == 0 ? 0 : batch.ends[k - 1];
  return Entry{batch.states[k], std::string_view(batch.bytes).substr(start, batch.ends[k] - start)};
}

}  // namespace tavrin
