#include "cli/terminal_host.h"

#include <cstdio>
#include <iostream>

#include "messages/messages.h"
#include "platform/console.h"
#include "platform/exceptions.h"
#include "platform/system.h"

namespace tavrin {

TerminalHost::TerminalHost(bool overwrite, bool show_log)
    : overwrite_(overwrite), show_log_(show_log), interactive_(IsConsole(StandardStream::kError)) {
  // Ctrl+C is the Cancel button: the build stops at its next poll and says so.
  CatchInterrupt();
}

void TerminalHost::ShowMessage(const std::string& text, MessageIcon icon,
                               const std::string& detail) {
  if (icon == MessageIcon::kStop) showed_error_ = true;
  messages_.push_back({text, icon, detail});
}

void TerminalHost::PrintMessages(bool warnings) {
  ClearLine();
  for (const Shown& m : messages_) {
    if (m.icon == MessageIcon::kStop) {
      std::cerr << "error: " << m.text << (m.detail.empty() ? "" : " " + m.detail) << "\n";
    } else {
      std::cout << (warnings ? "warning: " : "") << m.text << "\n";
    }
  }
  messages_.clear();
  std::cout.flush();
  if (!log_to_show_.empty()) PrintLog(log_to_show_);
  log_to_show_.clear();
}

std::vector<std::string> LintHost::Errors() const {
  std::vector<std::string> errors;
  for (const Shown& m : messages_)
    if (m.icon == MessageIcon::kStop)
      errors.push_back(m.detail.empty() ? m.text : m.text + " " + m.detail);
  return errors;
}

bool TerminalHost::AskYesNo(const std::string& text) {
  if (overwrite_) return true;
  ClearLine();
  if (!IsConsole(StandardStream::kInput)) {
    std::cerr << "error: " << MessageText(Message::kNotOverwritten, {text}) << "\n";
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

bool TerminalHost::CancelRequested() { return InterruptRequested(); }

void TerminalHost::ClearCancelRequest() { ClearInterruptRequest(); }

void TerminalHost::ShowLog(const std::string& log_path) {
  if (show_log_) log_to_show_ = log_path;
}

void TerminalHost::PrintLog(const std::string& log_path) {
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
  if (interactive_) ClearConsoleLine();
}

}  // namespace tavrin
