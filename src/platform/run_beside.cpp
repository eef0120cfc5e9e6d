#include "platform/run_beside.h"

#include <exception>
#include <future>
#include <system_error>
#include <thread>

namespace tavrin {

void RunBeside(const std::function<void()>& work, const std::function<void()>& poll,
               std::chrono::milliseconds interval) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::jthread worker;
  try {
    worker = std::jthread([&] {
      try {
        work();
        done.set_value();
      } catch (...) {
        done.set_exception(std::current_exception());
      }
    });
  } catch (const std::system_error&) {
    work();
    poll();
    return;
  }
  while (finished.wait_for(interval) != std::future_status::ready) poll();
  finished.get();
}

}  // namespace tavrin
