#include "cli/terminal_host.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

TerminalHost::TerminalHost(bool overwrite, bool show_log)
    : overwrite_(overwrite), show_log_(show_log), interactive_(isatty(STDERR_FILENO) != 0) {
  // Ctrl+C is the Cancel button: the build stops at its next poll and says so.
  std::signal(SIGINT, OnInterrupt);
}

void TerminalHost::ShowMessage(const std::string& text, MessageIcon icon) {
  ClearLine();
  if (icon == MessageIcon::kStop) {
    showed_error_ = true;
    std::cerr << "error: " << text << "\n";
  } else if (text.find("created with warnings") != std::string::npos) {
    std::cout << "warning: " << text << "\n";
  } else {
    std::cout << text << "\n";
  }
  std::cout.flush();
}

bool TerminalHost::AskYesNo(const std::string& text) {
  if (overwrite_) return true;
  ClearLine();
  if (isatty(STDIN_FILENO) == 0) {
    std::cerr << "error: " << text << " Not overwritten (use --overwrite).\n";
    return false;
  }
  std::cerr << text << " [y/N] ";
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

void TerminalHost::SetProgressRange(std::int64_t maximum) { maximum_ = maximum; }

void TerminalHost::SetProgress(std::int64_t position) { position_ = position; }

void TerminalHost::SetProgressVisible(bool visible) {
  if (!visible) ClearLine();
  visible_ = visible;
}

void TerminalHost::SetStatus(const std::string& text) {
  status_ = text;
  Draw(true);
}

void TerminalHost::RestoreStatus() { status_.clear(); }

void TerminalHost::ProcessMessages() { Draw(false); }

bool TerminalHost::CancelRequested() { return g_interrupted != 0; }

void TerminalHost::ClearCancelRequest() { g_interrupted = 0; }

void TerminalHost::ShowLog(const std::string& log_path) {
  if (!show_log_) return;
  std::string text;
  try {
    text = ReadWholeFile(log_path);
  } catch (const EFileError& e) {
    // The build has ended: a log that cannot be shown changes nothing of its outcome.
    ClearLine();
    std::cerr << "error: " << e.what() << "\n";
    return;
  }
  std::string plain;
  plain.reserve(text.size());
  for (char c : text)
    if (c != '\r') plain.push_back(c);
  std::cout << plain;
  std::cout.flush();
}

void TerminalHost::Draw(bool force) {
  if (!interactive_ || !visible_) return;
  auto now = std::chrono::steady_clock::now();
  if (!force && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  constexpr int kWidth = 30;
  int filled = 0;
  if (maximum_ > 0)
    filled = static_cast<int>(std::min<std::int64_t>(kWidth, position_ * kWidth / maximum_));
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  std::fprintf(stderr, "\r[%s] %s", bar.c_str(), status_.c_str());
  std::fflush(stderr);
}

void TerminalHost::ClearLine() {
  if (!interactive_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

}  // namespace tavrin
