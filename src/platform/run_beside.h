#pragma once

#include <chrono>
#include <functional>

namespace tavrin {

// Runs `work` on another thread and calls `poll` on this one every `interval` until the work is
// done, then rethrows what the work threw. Long waits (a sort, the disk) thus leave the window
// responsive. Where no thread can be started the work runs here and `poll` is called once after.
void RunBeside(const std::function<void()>& work, const std::function<void()>& poll,
               std::chrono::milliseconds interval = std::chrono::milliseconds(20));

}  // namespace tavrin
