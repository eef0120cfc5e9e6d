#pragma once

#include <string>

#include "builders/build_request.h"
#include "builders/build_run.h"
#include "builders/entry_finisher.h"
#include "mstrlist/mstrlist.h"

namespace tavrin {

// A topic's record in the topic list: its gathered (or stored) text, or the number of its text
// in a BackgroundFinisher that took it.
class SRec : public TObject {
 public:
  explicit SRec(std::string text) : text(std::move(text)) {}
  std::string text;
  int finished = -1;
};

// Makes a dictionary (kind 1) or an editable topic book (kind 2) from marked text: topics
// sorted by name.
BuildOutcome BuildDictionary(BuildJob& job);

// Writes every topic's name, text offset and finished text into the run's buffers, in list
// order; polls after every topic and stops on Cancel. Texts that went to `finished` are taken
// from there.
void WriteTopics(BuildRun& run, const TmStrList& topics,
                 const BackgroundFinisher* finished = nullptr);

}  // namespace tavrin
