#pragma once

#include <string>

#include "build/build_request.h"
#include "build/build_run.h"
#include "mstrlist/mstrlist.h"

namespace tavrin {

// A topic's record in the topic list: its gathered (or stored) text.
class SRec : public TObject {
 public:
  explicit SRec(std::string text) : text(std::move(text)) {}
  std::string text;
};

// Makes a dictionary (kind 1) or an editable topic book (kind 2) from marked text: topics
// sorted by name.
BuildOutcome BuildDictionary(BuildJob& job);

// Writes every topic's name, text offset and finished text into the run's buffers, in list
// order; polls after every topic and stops on Cancel.
void WriteTopics(BuildRun& run, const TmStrList& topics);

}  // namespace tavrin
