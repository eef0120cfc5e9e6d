#pragma once

#include <optional>
#include <string>

namespace tavrin {

// The plain-text clipboard as the grid sees it: 8-bit text in the code page. The Qt front end
// supplies the system clipboard; tests and tools use MemoryClipboard.
class GridClipboard {
 public:
  virtual ~GridClipboard() = default;
  // The clipboard's plain text, or nothing when it holds no text.
  virtual std::optional<std::string> Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
};

// A clipboard that lives in memory; starts without text.
class MemoryClipboard : public GridClipboard {
 public:
  std::optional<std::string> Text() const override { return text_; }
  void SetText(const std::string& text) override { text_ = text; }
  void Clear() { text_.reset(); }

 private:
  std::optional<std::string> text_;
};

}  // namespace tavrin
