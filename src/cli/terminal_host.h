#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "builders/build_host.h"

namespace tavrin {

// The command line's window: messages on the terminal with their kind, the overwrite question
// answered by --overwrite or at the terminal, a progress bar on stderr when it is a terminal.
class TerminalHost : public BuildHost {
 public:
  TerminalHost(bool overwrite, bool show_log);

  using BuildHost::ShowMessage;
  // Messages wait until PrintMessages, so that the outcome comes after the findings.
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& detail) override;
  bool AskYesNo(const std::string& text) override;
  void SetProgressRange(std::int64_t maximum) override;
  void SetProgress(std::int64_t position) override;
  void SetProgressVisible(bool visible) override;
  void SetStatus(const std::string& text) override;
  void RestoreStatus() override;
  void ProcessMessages() override;
  bool CancelRequested() override;
  void ClearCancelRequest() override;
  void DisableControls() override {}
  void EnableControls() override {}
  void ShowLog(const std::string& log_path) override;
  void SetModuleName(const std::string&) override {}

  // Whether a message of the stop kind was shown.
  bool ShowedError() const { return showed_error_; }
  // Prints the messages shown so far: stop messages as "error: TEXT DETAIL" on the standard
  // error, the others on the standard output ("warning: " before those of a build with
  // warnings); then the log, when it was to be shown.
  void PrintMessages(bool warnings);

 protected:
  struct Shown {
    std::string text;
    MessageIcon icon;
    std::string detail;
  };
  std::vector<Shown> messages_;

 private:
  void Draw(bool force);
  void PrintLog(const std::string& log_path);
  void ClearLine();

  bool overwrite_;
  bool show_log_;
  bool interactive_;  // stderr is a terminal
  bool visible_ = false;
  bool showed_error_ = false;
  std::int64_t maximum_ = 0;
  std::int64_t position_ = 0;
  std::string status_;
  std::string log_to_show_;
  std::chrono::steady_clock::time_point last_draw_{};
};

// The command line's window for a lint: only the messages of the stop kind are shown (the
// closing message of the build it runs says nothing to the author).
class LintHost : public TerminalHost {
 public:
  LintHost() : TerminalHost(true, false) {}
  using BuildHost::ShowMessage;
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& detail) override {
    if (icon == MessageIcon::kStop) TerminalHost::ShowMessage(text, icon, detail);
  }
  void SetProgressVisible(bool) override {}
  // The stop messages, each with its detail: what kept the lint's build from running.
  std::vector<std::string> Errors() const;
};

}  // namespace tavrin
