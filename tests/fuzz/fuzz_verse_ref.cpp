// Verse references: ParseVerseRef and the reference-line step on arbitrary lines, against the
// shipped book names and verse map or against book names and a verse map taken from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include "builders/verse_ref.h"
#include "harness.h"
#include "module/verse_map.h"
#include "platform/system.h"

using namespace tavrin;

namespace {

struct Shipped {
  Shipped() : books(fuzz::Locale()) {
    books.LoadFromFile(fuzz::Scratch() + "/tavrin.bok");
    map = LoadVerseMap(fuzz::Scratch());
  }
  BookNameTable books;
  VerseMap map;
};

constexpr const char* kMarks[] = {"#", "#", "", "@", "##"};

void CheckLine(std::string_view line, int mark_type, std::string_view mark,
               const BookNameTable& books, const VerseMap& map) {
  const ReferenceLine ref = ReadReferenceLine(line, 7, mark_type, mark, books, map);
  ParseVerseRef(ReferenceProbe(line), books);
  switch (ref.kind) {
    case ReferenceLine::Kind::kNone:
      fuzz::Check(!ref.warning, "warning on an ordinary line", line);
      break;
    case ReferenceLine::Kind::kInvalid:
      fuzz::Check(mark_type == 0 && ref.warning.has_value(), "invalid reference not warned", line);
      break;
    case ReferenceLine::Kind::kReference:
      fuzz::Check(ref.ref.IsReference(), "reference line without a reference", line);
      fuzz::Check(ref.ref.book >= 1 && static_cast<int>(ref.ref.book) <= books.Count(),
                  "book outside the book names", line);
      fuzz::Check(map.VerseCount() > 0 && ref.index < map.VerseCount(),
                  "verse index outside the map", line);
      fuzz::Check(!ref.warning == map.IsInVerseMap(static_cast<int>(ref.ref.book),
                                                   static_cast<int>(ref.ref.chapter),
                                                   static_cast<int>(ref.ref.verse)),
                  "out-of-bounds warning wrong", line);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Shipped shipped;
  FuzzedDataProvider in(data, size);
  const int mode = in.ConsumeIntegralInRange(0, 3);
  const int mark_type = in.ConsumeBool() ? 1 : 0;
  const std::string mark = in.PickValueInArray(kMarks);

  if (mode < 2) {
    // One line against the shipped data files.
    CheckLine(in.ConsumeRemainingBytesAsString(), mark_type, mark, shipped.books, shipped.map);
    return 0;
  }
  if (mode == 2) {
    // Book names from the input: each line a name, then a reference line.
    BookNameTable books(fuzz::Locale());
    std::vector<std::string> names;
    const int count = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i) names.push_back(in.ConsumeRandomLengthString(16));
    books.SetNames(names);
    for (int i = 1; i <= books.Count(); ++i) books.BookOf(books.Name(i));
    CheckLine(in.ConsumeRemainingBytesAsString(), mark_type, mark, books, shipped.map);
    return 0;
  }
  // A verse map from the input: refused, or every lookup lands inside it.
  const std::string line = in.ConsumeRandomLengthString(60);
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  try {
    const VerseMap map = VerseMap::FromBytes(bytes, "master.map");
    fuzz::Check(map.VerseCount() > 0 && static_cast<std::size_t>(map.VerseCount()) <= kMaxVerses,
                "verse map size", bytes);
    for (int book : {0, 1, 2, map.BookCount(), map.BookCount() + 1, 300}) {
      for (int chapter : {0, 1, 2, 255, 1000}) {
        for (int verse : {0, 1, 3, 255, 70000}) {
          const VerseIndex index = map.ClampedVerseIndex(book, chapter, verse);
          fuzz::Check(index < map.VerseCount(), "clamped index outside the map", bytes);
          const int exact = map.ExactVerseIndex(book, chapter, verse);
          fuzz::Check(exact < map.VerseCount(), "exact index outside the map", bytes);
          if (exact >= 0) {
            const VerseMapRecord r = map.VerseAt(static_cast<VerseIndex>(exact));
            fuzz::Check(r.book == book && r.chapter == chapter && r.verse == verse,
                        "exact index names another verse", bytes);
          }
        }
      }
    }
    CheckLine(line, mark_type, mark, shipped.books, map);
  } catch (const EVerseMapError&) {
    // Refused with a message naming the file: fine.
  }
  return 0;
}
