#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "builders/build_request.h"
#include "builders/dictionary_builder.h"
#include "builders/stored_module.h"
#include "mstrlist/mstrlist.h"

namespace tavrin {

// The names and text positions of a stored topic book, with the problems met while reading
// them (each a line for the creation log).
struct TopicIndex {
  std::vector<std::int64_t> positions;  // absolute file positions of the texts, stored order
  std::vector<Diagnostic> warnings;
};

// Fills `topics` (names normalised, each with a new empty SRec owned by `records`) and the
// positions from sections 1 and 2.
TopicIndex LoadTopicIndex(StoredModule& source, TmStrList& topics,
                          std::vector<std::unique_ptr<SRec>>& records);

// The stored text of topic k (0-based). A position outside the text section gives an empty
// text and a warning; positions out of order are read up to the terminator.
std::string ReadTopicText(StoredModule& source, const TopicIndex& index, int k,
                          std::optional<Diagnostic>* warning);

// A dictionary (kind 1) or topic book (kind 2) from a stored topic book, in stored order.
BuildOutcome ConvertTopicBook(BuildJob& job);
// A writing (kind 5) from a stored topic book: every topic becomes a section.
BuildOutcome ConvertTopicsToWriting(BuildJob& job);

}  // namespace tavrin
