#pragma once

#include <stdexcept>
#include <string>

#include "messages/messages.h"

namespace tavrin {

// Base of every failure the core raises; the message is the text shown to the user.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// String list and grid misuse: index out of bounds, sorted-list violations, duplicates.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// A text that does not convert to the requested value (dates under soDate).
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// File errors of the grid component ("File ... not found").
class MFileError : public Exception {
 public:
  using Exception::Exception;
};

// Any failure to open, create, read or write a file; carries the path and, where the system
// gave one, its reason (UTF-8, "No such file or directory"), which the message leaves out.
class EFileError : public Exception {
 public:
  EFileError(const std::string& message, std::string path, std::string reason = {})
      : Exception(message), path_(std::move(path)), reason_(std::move(reason)) {}
  const std::string& Path() const { return path_; }
  const std::string& Reason() const { return reason_; }
  // "PATH: REASON", or the path alone: what a message's details name.
  std::string Detail() const { return reason_.empty() ? path_ : path_ + ": " + reason_; }

 private:
  std::string path_;
  std::string reason_;
};

// "Cannot open file %s"
class EFOpenError : public EFileError {
 public:
  explicit EFOpenError(const std::string& path, std::string reason = {})
      : EFileError(MessageText(Message::kCannotOpenFile, {path}), path, std::move(reason)) {}
};

// "Cannot create file %s", and ": REASON" where the system says why and the user can act on it
// (a read-only file, no permission).
class EFCreateError : public EFileError {
 public:
  explicit EFCreateError(const std::string& path, const std::string& reason = "")
      : EFileError(reason.empty() ? MessageText(Message::kCannotCreateFile, {path})
                                  : MessageText(Message::kCannotCreateFileBecause, {path, reason}),
                   path) {}
};

// A write or read that failed after the file was opened (disk full, I/O error): message `id`
// with the path as its last value.
class EInOutError : public EFileError {
 public:
  EInOutError(Message id, const std::string& path) : EFileError(MessageText(id, {path}), path) {}
  EInOutError(Message id, const std::string& reason, const std::string& path)
      : EFileError(MessageText(id, {reason, path}), path) {}
};

// A module file that is truncated, of the wrong kind or internally inconsistent.
class EModuleError : public EFileError {
 public:
  EModuleError(const std::string& path, const std::string& problem)
      : EFileError(MessageText(Message::kModuleDamaged, {path, problem}), path) {}

 protected:
  struct WholeMessage {};
  EModuleError(WholeMessage, const std::string& message, const std::string& path)
      : EFileError(message, path) {}
};

// A file that has neither a module's kind string nor its signature: no module at all (a text
// file given where a module was expected).
class ENotAModuleError : public EModuleError {
 public:
  explicit ENotAModuleError(const std::string& path)
      : EModuleError(WholeMessage{}, MessageText(Message::kNotAModule, {path}), path) {}
};

}  // namespace tavrin
