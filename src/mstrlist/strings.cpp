#include "mstrlist/strings.h"

#include "platform/exceptions.h"
#include "platform/replacing_file.h"
#include "platform/system.h"

namespace tavrin {
namespace {

// Runs `body` as one update batch that is closed also when the body throws.
template <typename Body>
void InBatch(TStrings& list, Body body) {
  list.BeginUpdate();
  try {
    body();
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}

}  // namespace

int TStrings::AddObject(const std::string& text, TObject* object) {
  const int index = Add(text);
  PutObject(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings& other) {
  InBatch(*this, [&] {
    // The count is taken once so that adding a list to itself ends.
    const int count = other.GetCount();
    for (int i = 0; i < count; ++i) AddObject(other.Get(i), other.GetObject(i));
  });
}

void TStrings::LoadFromFile(const std::string& file_name) {
  // Read first: a file that cannot be opened leaves the list as it was.
  const std::string data = ReadWholeFile(file_name);
  InBatch(*this, [&] {
    Clear();
    std::size_t pos = 0;
    while (pos < data.size()) {
      std::size_t end = data.find_first_of("\r\n", pos);
      if (end == std::string::npos) end = data.size();
      Add(data.substr(pos, end - pos));
      pos = end;
      if (pos == data.size()) break;
      if (data[pos] == '\r' && pos + 1 < data.size() && data[pos + 1] == '\n') ++pos;
      ++pos;
    }
  });
}

void TStrings::SaveToFile(const std::string& file_name) const {
  std::string data;
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    data += Get(i);
    data += "\r\n";
  }
  // A failure midway leaves the old file whole, not cut short.
  ReplaceFileContents(file_name, data);
}

void TStrings::BeginUpdate() {
  if (update_count_ == 0) SetUpdateState(true);
  ++update_count_;
}

void TStrings::EndUpdate() {
  // An unmatched EndUpdate is ignored rather than driving the counter negative.
  if (update_count_ == 0) return;
  --update_count_;
  if (update_count_ == 0) SetUpdateState(false);
}

}  // namespace tavrin
