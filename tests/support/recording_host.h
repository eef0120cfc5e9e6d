#pragma once

#include <functional>
#include <string>
#include <vector>

#include "builders/build_host.h"

namespace tavrin {

// A host that records every call; for tests and fuzzing. Answers the overwrite question with
// `answer_yes` and raises Cancel after `cancel_after_polls` polls (negative: never).
class RecordingHost : public BuildHost {
 public:
  struct Shown {
    std::string text;
    MessageIcon icon;
    std::string detail;
  };

  using BuildHost::ShowMessage;
  void ShowMessage(const std::string& text, MessageIcon icon, const std::string& detail) override {
    messages.push_back({text, icon, detail});
  }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    return answer_yes;
  }
  void SetProgressRange(std::int64_t maximum) override { progress_max = maximum; }
  void SetProgress(std::int64_t position) override { progress = position; }
  void SetProgressVisible(bool visible) override { progress_visible = visible; }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void RestoreStatus() override { statuses.push_back(""); }
  void ProcessMessages() override {
    ++polls;
    if (on_poll) on_poll();
  }
  bool CancelRequested() override {
    if (cancel_after_polls >= 0 && polls >= cancel_after_polls) cancel = true;
    return cancel;
  }
  void ClearCancelRequest() override { cancel = false; }
  void DisableControls() override {
    ++disabled;
    busy = true;
  }
  void EnableControls() override {
    ++enabled;
    busy = false;
  }
  void ShowLog(const std::string& log_path) override { shown_logs.push_back(log_path); }
  void SetModuleName(const std::string& name) override { module_names.push_back(name); }

  bool answer_yes = true;
  int cancel_after_polls = -1;
  std::function<void()> on_poll;

  std::vector<Shown> messages;
  std::vector<std::string> questions;
  std::vector<std::string> statuses;
  std::vector<std::string> shown_logs;
  std::vector<std::string> module_names;
  std::int64_t progress_max = 0;
  std::int64_t progress = 0;
  bool progress_visible = false;
  bool cancel = false;
  bool busy = false;
  int polls = 0;
  int disabled = 0;
  int enabled = 0;
};

}  // namespace tavrin
