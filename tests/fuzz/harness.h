#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mstrlist/mstrlist.h"
#include "platform/text_locale.h"

namespace tavrin::fuzz {

// The locale every target runs under: Western code page, English collation, so that a crash
// input reproduces whatever the environment of the machine that replays it.
const TextLocale& Locale();

// A folder of this process for files a target must write (modules, logs, stored sources). It
// holds copies of the shipped tavrin.bok and master.map, so it is a working program folder,
// and it is removed when the process ends normally.
const std::string& Scratch();

// Writes `bytes` to `path`, replacing it.
void WriteFile(const std::string& path, std::string_view bytes);

// Ends the run with a report when an expectation fails: libFuzzer saves the input as a crash.
[[noreturn]] void Fail(std::string_view what, std::string_view detail = {});
inline void Check(bool condition, std::string_view what, std::string_view detail = {}) {
  if (!condition) Fail(what, detail);
}

// The order a keyed sort must leave between keys a and b under `type` (<0, 0, >0): under
// soNumeric the numbers, with the texts of value 0 as one block in alphabetical order; under
// soDate the dates (raises EConvertError for a text that is no date).
int CompareKeys(TMSortType type, std::string_view a, std::string_view b);
// The key of a text: from key_pos (1-based, below 1 taken as 1) for key_len bytes.
std::string_view KeyOf(std::string_view text, int key_pos, int key_len);

// Prints a line to stderr when TAVRIN_FUZZ_TRACE is set: replaying a failing input with it shows
// the operations that led there.
void Trace(std::string_view line);
bool Tracing();

// Printable form of 8-bit text for failure reports.
std::string Escaped(std::string_view text);

}  // namespace tavrin::fuzz
