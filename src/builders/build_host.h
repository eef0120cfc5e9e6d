#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

enum class MessageIcon { kStop, kInformation, kQuestion };

// What a build may ask of the window that started it. Message texts are 8-bit text in the
// user's code page; the caption is always the application title, so it is not passed.
class BuildHost {
 public:
  virtual ~BuildHost() = default;

  // `detail` (UTF-8, may be empty) says more where the text is fixed: the path and the
  // system's reason of a file that did not open. The window shows it as the box's details.
  virtual void ShowMessage(const std::string& text, MessageIcon icon,
                           const std::string& detail) = 0;
  void ShowMessage(const std::string& text, MessageIcon icon) { ShowMessage(text, icon, {}); }
  // Yes/No with the question icon; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;

  virtual void SetProgressRange(std::int64_t maximum) = 0;
  virtual void SetProgress(std::int64_t position) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
  virtual void SetStatus(const std::string& text) = 0;
  // Back to the status panel's idle text.
  virtual void RestoreStatus() = 0;

  // Called once per source line and per written entry; a host may rate-limit the real work.
  virtual void ProcessMessages() = 0;
  virtual bool CancelRequested() = 0;
  virtual void ClearCancelRequest() = 0;

  virtual void DisableControls() = 0;
  virtual void EnableControls() = 0;
  // Reload the creation log and show it.
  virtual void ShowLog(const std::string& log_path) = 0;
  // Header files may fill the active tab's module name box.
  virtual void SetModuleName(const std::string& name) = 0;
};

}  // namespace tavrin
