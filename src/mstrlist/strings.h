#pragma once

#include <string>

namespace tavrin {

// Base of everything a string list can carry beside a string. Lists never own their objects:
// whoever attaches one frees it.
class TObject {
 public:
  virtual ~TObject() = default;
};

// An object that carries a number, for lists that tag entries with an index or a count.
class TNumberObject : public TObject {
 public:
  explicit TNumberObject(int value = 0) : value_(value) {}
  int Value() const { return value_; }
  void SetValue(int value) { value_ = value; }

 private:
  int value_;
};

// The common string-list interface: indexed strings, each with an optional object, batched
// updates and text file load/save. Concrete lists supply storage through the virtuals.
class TStrings {
 public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;
  virtual ~TStrings() = default;

  virtual std::string Get(int index) const = 0;
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int index) const = 0;
  virtual void Put(int index, const std::string& text) = 0;
  virtual void PutObject(int index, TObject* object) = 0;
  virtual int Add(const std::string& text) = 0;
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Exchange(int index1, int index2) = 0;
  virtual int IndexOf(const std::string& text) const = 0;
  virtual void Insert(int index, const std::string& text) = 0;

  int Count() const { return GetCount(); }
  // Add, then attach the object to the index Add returned.
  int AddObject(const std::string& text, TObject* object);
  // AddObject of every string of `other` with its object, in order, as one update.
  void AddStrings(const TStrings& other);
  // Replaces the content by the lines of a text file (CR LF, LF or CR); raises EFOpenError.
  void LoadFromFile(const std::string& file_name);
  // Writes every string followed by CR LF; raises EFCreateError, or EInOutError when a write
  // fails.
  void SaveToFile(const std::string& file_name) const;

  // Nested batches: only the outermost pair reaches SetUpdateState.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return update_count_; }

 protected:
  virtual void SetUpdateState(bool updating) = 0;

 private:
  int update_count_ = 0;
};

}  // namespace tavrin
