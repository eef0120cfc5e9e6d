// The markup conversion in linear time. The result is byte for byte that of the step-by-step
// version (ConvertEntryTextReference); only the cost differs:
// - the break and literal steps are one pass that builds the new text once;
// - the tag scan walks the "<" in text order once, keeps a moving pointer to the first ">",
//   finds the closing tags of every name in one forward scan, and never edits in the middle: a
//   deleted byte is only marked, and the text is put together once at the end.

#include "source/entry_text_conversion.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <queue>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "source/byte_scan.h"
#include "source/markup.h"

namespace tavrin {

namespace {

constexpr char kConsumedOpen = '\x8B';
constexpr char kConsumedClose = '\x9B';
constexpr char kMarker = '\xA4';
// What a deleted byte of the working copy reads as: no search pattern holds it.
constexpr char kGone = '\x8B';
constexpr std::size_t kNone = std::string::npos;

constexpr std::string_view kLiteralBreak = "<lit><br></lit>";
constexpr std::string_view kLiteralBreakText = "<lit><BR></lit>";
constexpr std::string_view kBreakTag = "<br>";

bool IsControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }
bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }
bool IsNameLetter(char c) { return c >= 'a' && c <= 'z'; }

// The byte `b` in each of eight bytes.
constexpr std::uint64_t kEach(unsigned char b) { return 0x0101010101010101ULL * b; }

// When the locale lower-cases ASCII as ASCII does and only "<" and 0xA4 themselves become "<"
// and 0xA4, the pass may search with memchr and lower-case eight bytes at a time.
struct PlainShape {
  bool ascii = false;
  bool specials = false;
};

PlainShape ShapeOf(const TextLocale& locale) {
  return PlainShape{locale.LowerIsAscii(),
                    locale.LowerOnlyFrom('<') && locale.LowerOnlyFrom(kMarker)};
}

// Lower-cases ASCII in eight bytes that are all below 0x80.
std::uint64_t AsciiLowerWord(std::uint64_t w) {
  const std::uint64_t above_z = w + kEach(0x7F - 'Z');
  const std::uint64_t from_a = w + kEach(0x80 - 'A');
  const std::uint64_t upper = from_a & ~above_z & kEach(0x80);
  return w | (upper >> 2);
}

#if defined(__SSE2__)
// ConvertBreaks for a plain locale (ASCII lower-cased as ASCII, "<" and 0xA4 only from
// themselves): one pass that looks for the special bytes and copies sixteen bytes a step, the
// text as it is and the copy lower-cased, instead of a search followed by a copy of each run.
// Both are written through pointers into room made up front; only a literal break makes the
// output longer than the bytes it came from, so the room is checked there alone.
void ConvertBreaksPlain(std::string_view source, const TextLocale& locale, bool reduce_empty_lines,
                        std::string& text, std::string& copy) {
  const std::size_t n = source.size();
  const char* const s = source.data();
  // Room for the rest of the source and one block of sixteen bytes written past the end.
  std::size_t room = n + 32;
  text.resize(room);
  copy.resize(room);
  char* t = text.data();
  char* c = copy.data();
  std::size_t o = 0;
  std::size_t i = 0;
  auto lower_at = [&](std::size_t k) { return locale.LowerByte(s[k]); };
  auto matches = [&](std::size_t k, std::string_view pattern) {
    if (n - k < pattern.size()) return false;
    for (std::size_t x = 0; x < pattern.size(); ++x)
      if (lower_at(k + x) != pattern[x]) return false;
    return true;
  };
  auto put = [&](char text_byte, char copy_byte) {
    t[o] = text_byte;
    c[o] = copy_byte;
    ++o;
  };
  auto literal = [&] {
    if (o + kLiteralBreak.size() + (n - i) + 32 > room) {
      room = std::max(2 * room, o + kLiteralBreak.size() + (n - i) + 32);
      text.resize(room);
      copy.resize(room);
      t = text.data();
      c = copy.data();
    }
    std::memcpy(t + o, kLiteralBreakText.data(), kLiteralBreakText.size());
    std::memcpy(c + o, kLiteralBreak.data(), kLiteralBreak.size());
    o += kLiteralBreak.size();
  };
  const __m128i open = _mm_set1_epi8('<');
  const __m128i marker = _mm_set1_epi8(kMarker);
  const __m128i cr = _mm_set1_epi8(reduce_empty_lines ? '\r' : '<');
  const __m128i before_a = _mm_set1_epi8('A' - 1);
  const __m128i after_z = _mm_set1_epi8('Z' + 1);
  const __m128i case_bit = _mm_set1_epi8(0x20);
  auto special = [&](char b) {
    return b == '<' || b == kMarker || (reduce_empty_lines && b == '\r');
  };
  // Whether the special byte at `k` changes the text: a break, a literal break, the marker, or
  // the first of three or more line breaks in a row.
  auto changes = [&](std::size_t k) {
    const char b = s[k];
    if (b == kMarker) return true;
    if (b == '<') {
      const char next = k + 1 < n ? lower_at(k + 1) : '\0';
      return (next == 'b' && matches(k, kBreakTag)) || (next == 'l' && matches(k, kLiteralBreak));
    }
    return n - k >= 6 && s[k + 1] == '\n' && s[k + 2] == '\r' && s[k + 3] == '\n' &&
           s[k + 4] == '\r' && s[k + 5] == '\n';
  };
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i letter_b = _mm_set1_epi8('b');
  const __m128i letter_l = _mm_set1_epi8('l');
  while (i < n) {
    if (n - i >= 18) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
      const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 2));
      // Only the special bytes that may change the text are looked at one by one: a "<"
      // followed by a "b" or an "l" of either case (or by a byte above 0x7F, whose lower case
      // the locale gives), the marker, and a line break followed by another.
      const __m128i folded = _mm_or_si128(x1, case_bit);
      const __m128i may_tag = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi8(folded, letter_b), _mm_cmpeq_epi8(folded, letter_l)),
          _mm_cmplt_epi8(x1, _mm_setzero_si128()));
      const __m128i may_run = _mm_and_si128(_mm_cmpeq_epi8(x1, lf), _mm_cmpeq_epi8(x2, cr));
      auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
          _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(x, open), may_tag), _mm_cmpeq_epi8(x, marker)),
          _mm_and_si128(_mm_cmpeq_epi8(x, cr), may_run))));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(t + o), x);
      if (_mm_movemask_epi8(x) == 0) {
        // Bytes below 0x80 compare as signed: 'A'..'Z' get the 0x20 bit.
        const __m128i upper =
            _mm_and_si128(_mm_cmpgt_epi8(x, before_a), _mm_cmplt_epi8(x, after_z));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(c + o),
                         _mm_or_si128(x, _mm_and_si128(upper, case_bit)));
      } else {
        for (std::size_t b = 0; b < 16; ++b) c[o + b] = lower_at(i + b);
      }
      // Most special bytes change nothing ("<" of other tags, line breaks fewer than three in a
      // row): the block as stored stays. The first that changes the text ends it.
      while (hits != 0 && !changes(i + static_cast<std::size_t>(std::countr_zero(hits))))
        hits &= hits - 1;
      if (hits == 0) {
        i += 16;
        o += 16;
        continue;
      }
      // The bytes before it stay; those behind it are written again.
      const auto k = static_cast<std::size_t>(std::countr_zero(hits));
      i += k;
      o += k;
    } else {
      while (i < n && !(special(s[i]) && changes(i))) {
        put(s[i], lower_at(i));
        ++i;
      }
      if (i >= n) break;
    }
    const char b = s[i];
    if (b == '<' && matches(i, kLiteralBreak)) {
      literal();
      i += kLiteralBreak.size();
    } else if (b == '<') {
      // "<br>": every blank at the end of the output stands directly in front of it.
      while (o > 0 && c[o - 1] == ' ') --o;
      put('\r', '\r');
      put('\n', '\n');
      i += kBreakTag.size();
      while (i < n && lower_at(i) == ' ') ++i;
    } else if (b == kMarker) {
      literal();
      ++i;
    } else {
      // A run of three or more line breaks: two of them stay.
      int pairs = 0;
      while (i + 1 < n && s[i] == '\r' && s[i + 1] == '\n') {
        if (pairs++ < 2) {
          put('\r', lower_at(i));
          put('\n', lower_at(i + 1));
        }
        i += 2;
      }
    }
  }
  text.resize(o);
  copy.resize(o);
}
#endif

// Sets literal breaks aside, drops the blanks around every "<br>", turns "<br>" into a line
// break and restores the literal breaks, in one pass over the source. `text` and `copy` come out
// aligned byte for byte, the copy lower-cased. With `reduce_empty_lines` every run of three or
// more line breaks of the source is first cut down to two; the breaks made from "<br>" are
// never part of such a run, as the reduction comes before the conversion.
void ConvertBreaks(std::string_view source, const TextLocale& locale, bool reduce_empty_lines,
                   std::string& text, std::string& copy) {
#if defined(__SSE2__)
  if (const PlainShape plain = ShapeOf(locale); plain.ascii && plain.specials)
    return ConvertBreaksPlain(source, locale, reduce_empty_lines, text, copy);
#endif
  const std::size_t n = source.size();
  // Bytes whose lower-case form starts one of the patterns; all others are copied in runs.
  auto special = [&](char b) {
    const char c = locale.LowerByte(b);
    return c == '<' || c == kMarker || (reduce_empty_lines && b == '\r');
  };
  text.clear();
  copy.clear();
  text.reserve(n + n / 16);
  copy.reserve(n + n / 16);
  auto lower_at = [&](std::size_t i) { return locale.LowerByte(source[i]); };
  auto matches = [&](std::size_t i, std::string_view pattern) {
    if (n - i < pattern.size()) return false;
    for (std::size_t k = 0; k < pattern.size(); ++k)
      if (lower_at(i + k) != pattern[k]) return false;
    return true;
  };
  const PlainShape shape = ShapeOf(locale);
  auto append = [&](std::size_t from, std::size_t to) {
    text.append(source.data() + from, to - from);
    const std::size_t old = copy.size();
    copy.resize(old + (to - from));
    char* out = copy.data() + old;
    std::size_t k = from;
    if (shape.ascii) {
#if defined(__SSE2__)
      for (; k + 16 <= to; k += 16, out += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source.data() + k));
        if (_mm_movemask_epi8(x) != 0) {
          for (std::size_t b = 0; b < 16; ++b) out[b] = locale.LowerByte(source[k + b]);
          continue;
        }
        // Bytes below 0x80 compare as signed: 'A'..'Z' get the 0x20 bit.
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8('A' - 1)),
                                            _mm_cmplt_epi8(x, _mm_set1_epi8('Z' + 1)));
        x = _mm_or_si128(x, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), x);
      }
#endif
      for (; k + 8 <= to; k += 8, out += 8) {
        std::uint64_t w;
        std::memcpy(&w, source.data() + k, 8);
        if ((w & kEach(0x80)) != 0) {
          for (std::size_t b = 0; b < 8; ++b) out[b] = locale.LowerByte(source[k + b]);
          continue;
        }
        w = AsciiLowerWord(w);
        std::memcpy(out, &w, 8);
      }
    }
    for (; k < to; ++k) *out++ = locale.LowerByte(source[k]);
  };
  // The next byte at or after `i` that may start a pattern. With a plain locale the three
  // bytes are searched for together, sixteen bytes a step, and only those that start a change
  // end the run: a "<" that cannot begin "<br>" or "<lit>" and line breaks fewer than three in a
  // row come out as they are, as if copied one by one.
  const char third = reduce_empty_lines ? '\r' : '<';
  auto next_special = [&](std::size_t i) {
    if (!shape.specials) {
      while (i < n && !special(source[i])) ++i;
      return i;
    }
    for (;;) {
      const std::size_t j = FindFirstOf(source.data(), i, n, '<', kMarker, third);
      if (j >= n) return n;
      if (source[j] == '<') {
        const char next = j + 1 < n ? locale.LowerByte(source[j + 1]) : '\0';
        if (next == 'b' || next == 'l') return j;
      } else if (source[j] == '\r') {
        if (n - j >= 6 && source.compare(j, 6, "\r\n\r\n\r\n") == 0) return j;
      } else {
        return j;
      }
      i = j + 1;
    }
  };
  auto literal = [&] {
    text += kLiteralBreakText;
    copy += kLiteralBreak;
  };
  // Blanks are copied with the runs; the blanks in front of a break are taken back off the
  // end when the break comes, and those behind one are skipped there.
  auto skip_blanks = [&](std::size_t i) {
    while (i < n && lower_at(i) == ' ') ++i;
    return i;
  };
  std::size_t i = 0;
  while (i < n) {
    const std::size_t run = next_special(i);
    if (run > i) {
      append(i, run);
      i = run;
      if (i >= n) break;
    }
    const char c = lower_at(i);
    if (c == '<' && matches(i, kLiteralBreak)) {
      literal();
      i += kLiteralBreak.size();
      continue;
    }
    if (c == '<' && matches(i, kBreakTag)) {
      // Every blank at the end of the output stands directly in front of this break: a break
      // before them would have skipped them, and a literal break or a line break is no blank.
      while (!copy.empty() && copy.back() == ' ') {
        copy.pop_back();
        text.pop_back();
      }
      text += "\r\n";
      copy += "\r\n";
      i = skip_blanks(i + kBreakTag.size());
      continue;
    }
    if (reduce_empty_lines && source[i] == '\r' && i + 1 < n && source[i + 1] == '\n') {
      std::size_t end = i;
      int pairs = 0;
      while (end + 1 < n && source[end] == '\r' && source[end + 1] == '\n') {
        end += 2;
        ++pairs;
      }
      for (int k = 0; k < pairs && k < 2; ++k) {
        text += "\r\n";
        copy.push_back(lower_at(i));
        copy.push_back(lower_at(i + 1));
      }
      i = end;
      continue;
    }
    if (c == kMarker) {
      literal();
    } else {
      text += source[i];
      copy += c;
    }
    ++i;
  }
}

// The tag scan over the aligned text and copy.
class TagScan {
 public:
  TagScan(std::string& text, std::string& copy, bool keep_tags, const TagTable& table,
          ClosingTagLists& found)
      : text_(text), copy_(copy), n_(copy.size()), keep_tags_(keep_tags), table_(table) {
    // The lists keep their room from entry to entry.
    for (std::size_t k = 0; k < closings_.size(); ++k) {
      found[k].clear();
      closings_[k].found = &found[k];
      closings_[k].pattern = table.ClosingTag(static_cast<int>(k));
    }
  }

  void Run();
  // From now on every decision of Run is also told to `verdicts`.
  void Explain(std::vector<TagVerdict>* verdicts) { verdicts_ = verdicts; }
  // The text without deleted bytes and held line breaks.
  void TakeResult();

 private:
  // The closing tags of one name.
  struct Closing {
    std::string_view pattern;
    // Occurrences met by the shared scan, in text order; those before `head` are spent.
    std::vector<std::size_t>* found = nullptr;
    std::size_t head = 0;
    // Occurrences that deletions made by joining text (only when tags are stripped).
    std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<>> joined;
  };
  // Raw search state for one class of bytes that the scan never changes ("=", blank, digit).
  struct Pointer {
    std::size_t from = 0;
    std::size_t at = 0;
    bool known = false;
  };

  bool Deleted(std::size_t i) const {
    return any_deleted_ && i < n_ && ((deleted_[i >> 6] >> (i & 63)) & 1U) != 0;
  }
  void MarkDeleted(std::size_t i) {
    std::uint64_t& word = deleted_[i >> 6];
    word |= std::uint64_t{1} << (i & 63);
    if (word == ~std::uint64_t{0}) full_[i >> 12] |= std::uint64_t{1} << ((i >> 6) & 63);
    copy_[i] = kGone;
  }
  std::size_t NextAlive(std::size_t i);
  std::size_t PrevAlive(std::size_t i);  // kNone when nothing alive is left before
  template <typename Is>
  std::size_t NextOf(Pointer& p, std::size_t from, Is is);
  std::size_t NextByte(Pointer& p, std::size_t from, char byte);
  std::size_t FirstGreater(std::size_t from);
  std::size_t FindClosing(int kind, std::size_t after);
  bool AliveClosingAt(std::size_t pos, std::string_view pattern, std::size_t* last);
  // Deletes the alive bytes from `first` through `last`; `closing` asks for joined closing tags.
  void DeleteRange(std::size_t first, std::size_t last, bool closing);
  void FindJoinedClosings(std::size_t junction_before, std::size_t junction_after);
  int AcceptedKind(std::size_t l, std::size_t g);
  bool ValueIsValid(int kind, std::size_t eq, std::size_t g);
  void ReadValue(std::size_t eq);

  std::string& text_;
  std::string& copy_;
  const std::size_t n_;
  const bool keep_tags_;
  const TagTable& table_;
  std::vector<TagVerdict>* verdicts_ = nullptr;

  // One bit per byte for the deleted ones, and one bit per word of 64 of them that are all
  // deleted, so that a walk crosses a long deleted stretch 4096 bytes at a step.
  std::vector<std::uint64_t> deleted_;
  std::vector<std::uint64_t> full_;
  bool any_deleted_ = false;

  Pointer greater_;
  Pointer equals_;
  Pointer blank_;
  Pointer digit_;
  std::array<Closing, kTagCount> closings_;
  // What the value rules read behind the "=" looked at last (see ValueIsValid).
  struct Value {
    std::size_t eq = kNone;
    std::size_t first = 0;        // its first alive byte other than a blank or control byte
    std::string token;            // the run of letters, digits and signs from there
    std::size_t after_token = 0;  // the first alive byte other than a blank or control behind it
    std::array<std::int8_t, kTagCount> token_valid{};  // per kind: 1, 0, or -1 not yet known
  } value_;
  // One scan for closing tags of every name serves all of them: the copy before this position
  // has been looked through.
  std::size_t closings_scanned_ = 0;
  // Reads closing tags onward until one of `kind` is found or the text ends.
  void ScanClosings(int kind);
};

std::size_t TagScan::NextAlive(std::size_t i) {
  if (!any_deleted_ || i >= n_ || !Deleted(i)) return i;
  std::size_t word = i >> 6;
  std::uint64_t alive = ~deleted_[word] & (~std::uint64_t{0} << (i & 63));
  while (alive == 0) {
    ++word;
    // Whole words of deleted bytes are passed by their summary bits.
    while ((word & 63) == 0 && (word >> 6) < full_.size() && full_[word >> 6] == ~std::uint64_t{0})
      word += 64;
    while (word < deleted_.size() && (word & 63) != 0 &&
           ((full_[word >> 6] >> (word & 63)) & 1U) != 0)
      ++word;
    if (word >= deleted_.size()) return n_;
    alive = ~deleted_[word];
  }
  return std::min(n_, (word << 6) + static_cast<std::size_t>(std::countr_zero(alive)));
}

std::size_t TagScan::PrevAlive(std::size_t i) {
  if (i == kNone) return kNone;
  if (!any_deleted_ || !Deleted(i)) return i;
  std::size_t word = i >> 6;
  std::uint64_t alive = ~deleted_[word] & (~std::uint64_t{0} >> (63 - (i & 63)));
  while (alive == 0) {
    if (word == 0) return kNone;
    --word;
    while ((word & 63) == 63 && full_[word >> 6] == ~std::uint64_t{0}) {
      if (word < 64) return kNone;
      word -= 64;
    }
    while ((word & 63) != 63 && ((full_[word >> 6] >> (word & 63)) & 1U) != 0) {
      if (word == 0) return kNone;
      --word;
    }
    alive = ~deleted_[word];
  }
  return (word << 6) + 63 - static_cast<std::size_t>(std::countl_zero(alive));
}

template <typename Is>
std::size_t TagScan::NextOf(Pointer& p, std::size_t from, Is is) {
  // Queries come with growing `from`, and the bytes searched for are never made or moved (a
  // deleted one lies before every later query), so each byte is looked at once.
  if (p.known && p.from <= from && (p.at == kNone || p.at >= from)) return p.at;
  std::size_t i = from;
  while (i < n_ && !is(copy_[i])) ++i;
  p = Pointer{from, i < n_ ? i : kNone, true};
  return p.at;
}

std::size_t TagScan::NextByte(Pointer& p, std::size_t from, char byte) {
  // As NextOf, for one byte value.
  if (p.known && p.from <= from && (p.at == kNone || p.at >= from)) return p.at;
  const std::size_t i = FindByte(copy_.data(), std::min(from, n_), n_, byte);
  p = Pointer{from, i < n_ ? i : kNone, true};
  return p.at;
}

std::size_t TagScan::FirstGreater(std::size_t from) {
  Pointer& p = greater_;
  if (p.known && p.from <= from && (p.at == kNone || (p.at >= from && copy_[p.at] == '>')))
    return p.at;
  // When the ">" found last has since been consumed or deleted, nothing stands between.
  std::size_t start = from;
  if (p.known && p.from <= from && p.at != kNone && p.at >= from) start = p.at + 1;
  std::size_t at = FindByte(copy_.data(), std::min(start, n_), n_, '>');
  if (at >= n_) at = kNone;
  p = Pointer{from, at, true};
  return at;
}

bool TagScan::AliveClosingAt(std::size_t pos, std::string_view pattern, std::size_t* last) {
  std::size_t i = pos;
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    i = k == 0 ? i : NextAlive(i + 1);
    if (i >= n_ || Deleted(i) || copy_[i] != pattern[k]) return false;
  }
  if (last != nullptr) *last = i;
  return true;
}

void TagScan::ScanClosings(int kind) {
  while (closings_scanned_ < n_) {
    const std::size_t at = FindPair(copy_.data(), closings_scanned_, n_, '<', '/');
    if (at + 1 >= n_) {
      closings_scanned_ = n_;
      return;
    }
    // The name runs to the ">"; no table name is longer than kLongestTagName letters.
    std::size_t end = at + 2;
    while (end < n_ && end - at < kLongestTagName + 3 && IsNameLetter(copy_[end])) ++end;
    closings_scanned_ = at + 2;
    if (end >= n_ || copy_[end] != '>' || end == at + 2) continue;
    const int found = table_.IndexOf(std::string_view(copy_).substr(at + 2, end - at - 2));
    if (found < 0) continue;
    closings_[static_cast<std::size_t>(found)].found->push_back(at);
    closings_scanned_ = end + 1;
    if (found == kind) return;
  }
}

std::size_t TagScan::FindClosing(int kind, std::size_t after) {
  Closing& c = closings_[static_cast<std::size_t>(kind)];
  // A closing tag is a few bytes: compared in place rather than through a library call.
  auto still_there = [&](std::size_t at) {
    const std::size_t size = c.pattern.size();
    if (at > n_ || n_ - at < size) return false;
    for (std::size_t k = 0; k < size; ++k)
      if (copy_[at + k] != c.pattern[k]) return false;
    return true;
  };
  // Queries come in text order, and an occurrence that was consumed or deleted never comes
  // back, so spent ones are dropped for good.
  std::size_t best = kNone;
  for (;;) {
    const std::vector<std::size_t>& found = *c.found;
    while (c.head < found.size() && (found[c.head] <= after || !still_there(found[c.head])))
      ++c.head;
    if (c.head < found.size()) {
      best = found[c.head];
      break;
    }
    if (closings_scanned_ >= n_) break;
    ScanClosings(kind);
  }
  while (!c.joined.empty()) {
    std::size_t top = c.joined.top();
    if (top > after && AliveClosingAt(top, c.pattern, nullptr)) {
      if (top < best) best = top;
      break;
    }
    c.joined.pop();
  }
  return best;
}

void TagScan::DeleteRange(std::size_t first, std::size_t last, bool closing) {
  if (deleted_.empty()) {
    deleted_.assign(n_ / 64 + 1, 0);
    full_.assign(deleted_.size() / 64 + 1, 0);
  }
  any_deleted_ = true;
  for (std::size_t i = first; i <= last; i = NextAlive(i + 1)) {
    MarkDeleted(i);
    if (i == last) break;
  }
  if (closing) {
    std::size_t before = first == 0 ? kNone : PrevAlive(first - 1);
    std::size_t behind = NextAlive(last + 1);
    if (before != kNone && behind < n_) FindJoinedClosings(before, behind);
  }
}

void TagScan::FindJoinedClosings(std::size_t junction_before, std::size_t junction_after) {
  // A closing tag is at most kLongestTagName + 3 bytes ("</color>"), so one that now spans the
  // junction starts among the kLongestTagName + 2 alive bytes before it.
  std::array<std::size_t, kLongestTagName + 2> starts{};
  std::size_t count = 0;
  for (std::size_t i = junction_before; i != kNone && count < starts.size();
       i = i == 0 ? kNone : PrevAlive(i - 1))
    starts[count++] = i;
  for (std::size_t s = 0; s < count; ++s) {
    std::size_t pos = starts[s];
    if (copy_[pos] != '<') continue;
    for (std::size_t k = 0; k < kTagCount; ++k) {
      std::size_t last = 0;
      if (AliveClosingAt(pos, closings_[k].pattern, &last) && last >= junction_after)
        closings_[k].joined.push(pos);
    }
  }
}

// The kind of the tag from `l` to `g` when its name is in the table, else -1. Works like
// MarkupTagName without copying the tag: the name is the run of letters behind the leading
// blanks, and what follows the run decides whether it is the whole name.
int TagScan::AcceptedKind(std::size_t l, std::size_t g) {
  std::size_t f = NextAlive(l + 1);
  while (f < g && IsControl(copy_[f])) f = NextAlive(f + 1);
  if (f >= g) return -1;
  // One letter more than the longest name: a run that fills it names no tag.
  char name[kLongestTagName + 1];
  std::size_t length = 0;
  std::size_t x = f;
  while (x < g && IsNameLetter(copy_[x]) && length < sizeof(name)) {
    name[length++] = copy_[x];
    x = NextAlive(x + 1);
  }
  if (length == 0 || length == sizeof(name)) return -1;
  const int kind = table_.IndexOf(std::string_view(name, length));
  if (kind < 0) return -1;

  const std::size_t eq = NextByte(equals_, l + 1, '=');
  const std::size_t blank = NextByte(blank_, l + 1, ' ');
  const bool has_eq = eq != kNone && eq < g;
  // The name stands before the first blank when one comes before the first "=", else before
  // the "=", or between the brackets when there is none.
  const std::size_t name_end = has_eq ? (blank < eq ? blank : eq) : g;
  if (f >= name_end) return -1;
  if (x < name_end) {
    const char c = copy_[x];
    if (c != ' ' && !IsDigitByte(c)) {
      if (!IsControl(c)) return -1;
      // Control bytes behind the letters are trimmed away only when nothing else follows
      // within the name.
      std::size_t y = x;
      while (y < name_end && IsControl(copy_[y])) y = NextAlive(y + 1);
      if (y < name_end) return -1;
    }
  }
  return kind;
}

bool TagScan::ValueIsValid(int kind, std::size_t eq, std::size_t g) {
  const TagDefinition& definition = table_.Definition(kind);
  const bool has_eq = eq != kNone && eq < g;
  if (definition.rule == TagRule::kNone) return !has_eq;
  if (!has_eq) return definition.rule == TagRule::kOptional;
  // The value's rule reads only the bytes between the "=" and the ">", trimmed: any value, or
  // a number or colour name (letters, digits and signs) with nothing else. Tags that share
  // their "=" share what stands behind it, so it is read once for all of them: a pair taken in
  // between only consumes their ">", and the bytes it changes lie behind that.
  if (value_.eq != eq) ReadValue(eq);
  if (value_.first >= g) return false;  // an empty value
  if (definition.rule == TagRule::kOptional) return true;
  if (value_.after_token < g) return false;
  std::int8_t& valid = value_.token_valid[static_cast<std::size_t>(kind)];
  if (valid < 0) valid = MarkupTagIsValid(definition, "=" + value_.token + ">") ? 1 : 0;
  return valid == 1;
}

void TagScan::ReadValue(std::size_t eq) {
  auto is_token = [](char c) { return IsNameLetter(c) || IsDigitByte(c) || c == '+' || c == '-'; };
  value_.eq = eq;
  value_.token.clear();
  value_.token_valid.fill(-1);
  // Every walk stops at the first ">" at the latest, so values of different "=" are read once.
  std::size_t i = NextAlive(eq + 1);
  while (i < n_ && IsControl(copy_[i])) i = NextAlive(i + 1);
  value_.first = i;
  while (i < n_ && is_token(copy_[i])) {
    value_.token += copy_[i];
    i = NextAlive(i + 1);
  }
  while (i < n_ && IsControl(copy_[i])) i = NextAlive(i + 1);
  value_.after_token = i;
}

void TagScan::Run() {
  std::size_t from = 0;
  for (;;) {
    const std::size_t l = FindByte(copy_.data(), from, n_, '<');
    if (l >= n_) break;
    from = l + 1;
    // Every ">" before this "<" is consumed before it is looked at; they change nothing that
    // is read later, so only the first ">" behind it counts.
    const std::size_t g = FirstGreater(l + 1);
    auto consume = [&] { copy_[l] = kConsumedOpen; };
    auto tell = [&](TagVerdict::Decision decision, int kind) {
      if (verdicts_ != nullptr) verdicts_->push_back({decision, l, g, kNone, kind});
    };
    if (g == kNone) {
      tell(TagVerdict::Decision::kNoClosingBracket, -1);
      consume();
      continue;
    }
    const int kind = AcceptedKind(l, g);
    if (kind < 0) {
      tell(TagVerdict::Decision::kNotATag, -1);
      consume();
      continue;
    }
    auto rule_ok = [&] {
      const TagDefinition& definition = table_.Definition(kind);
      if (definition.rule == TagRule::kHeading) {
        const std::size_t d = NextOf(digit_, l + 1, IsDigitByte);
        return d != kNone && d < g && copy_[d] - '0' >= definition.low &&
               copy_[d] - '0' <= definition.high;
      }
      return ValueIsValid(kind, NextByte(equals_, l + 1, '='), g);
    };
    const std::size_t c = FindClosing(kind, l);
    if (c == kNone || c < g) {
      if (verdicts_ != nullptr) {
        tell(TagVerdict::Decision::kNoClosingTag, kind);
        verdicts_->back().rule_ok = rule_ok();
      }
      consume();
      continue;
    }
    if (!rule_ok()) {
      tell(TagVerdict::Decision::kFailsRule, kind);
      if (verdicts_ != nullptr) verdicts_->back().closing = c;
      consume();
      continue;
    }
    if (verdicts_ != nullptr)
      verdicts_->push_back({TagVerdict::Decision::kAccepted, l, g, c, kind});

    // One line break directly inside each end of the pair goes; markers hold its place.
    const std::size_t a1 = NextAlive(g + 1);
    if (a1 < n_ && copy_[a1] == '\r') {
      const std::size_t a2 = NextAlive(a1 + 1);
      if (a2 < n_ && copy_[a2] == '\n') {
        text_[a1] = text_[a2] = copy_[a1] = copy_[a2] = kMarker;
      }
    }
    const std::size_t b2 = PrevAlive(c - 1);
    const std::size_t b1 = b2 == kNone || b2 == 0 ? kNone : PrevAlive(b2 - 1);
    if (b1 != kNone && copy_[b1] == '\r' && copy_[b2] == '\n') {
      text_[b1] = text_[b2] = copy_[b1] = copy_[b2] = kMarker;
    }

    std::size_t closing_last = 0;
    AliveClosingAt(c, closings_[static_cast<std::size_t>(kind)].pattern, &closing_last);
    if (keep_tags_) {
      copy_[l] = kConsumedOpen;
      copy_[g] = kConsumedClose;
      copy_[c] = kConsumedOpen;
      copy_[closing_last] = kConsumedClose;
    } else {
      DeleteRange(c, closing_last, true);
      DeleteRange(l, g, false);
    }
  }
}

void TagScan::TakeResult() {
  // Moves the runs between deleted bytes and markers down, found with memchr and by whole
  // words of the deleted bits.
  char* data = text_.data();
  std::size_t out = 0;
  std::size_t i = 0;
  std::size_t next_marker = 0;
  auto marker_from = [&](std::size_t from) {
    if (next_marker < from) {
      const void* at = std::memchr(data + from, kMarker, n_ - from);
      next_marker =
          at != nullptr ? static_cast<std::size_t>(static_cast<const char*>(at) - data) : n_;
    }
    return next_marker;
  };
  auto deleted_from = [&](std::size_t from) {
    if (!any_deleted_) return n_;
    std::size_t word = from >> 6;
    std::uint64_t bits = deleted_[word] & (~std::uint64_t{0} << (from & 63));
    while (bits == 0) {
      if (++word >= deleted_.size()) return n_;
      bits = deleted_[word];
    }
    return std::min(n_, (word << 6) + static_cast<std::size_t>(std::countr_zero(bits)));
  };
  next_marker = 0;
  {
    const void* at = std::memchr(data, kMarker, n_);
    next_marker =
        at != nullptr ? static_cast<std::size_t>(static_cast<const char*>(at) - data) : n_;
  }
  while (i < n_) {
    const std::size_t end = std::min(marker_from(i), deleted_from(i));
    if (end > i) {
      if (out != i) std::memmove(data + out, data + i, end - i);
      out += end - i;
      i = end;
    }
    if (i < n_) ++i;  // a deleted byte or a held line break
  }
  text_.resize(out);
}

// Whether a line break stands right behind a ">" or right in front of a "</" in the working copy.
// Where tags are kept, a pair changes the text only by taking out such a break directly inside
// its ends; the scan changes nothing else of the copy but "<" and ">" it has consumed, so a
// break that is not there now cannot be inside a pair then.
bool BreakMayEndAPair(const std::string& copy) {
  const char* const d = copy.data();
  const std::size_t n = copy.size();
  for (std::size_t at = FindPair(d, 0, n, '\r', '\n'); at < n;
       at = FindPair(d, at + 2, n, '\r', '\n')) {
    if (at > 0 && d[at - 1] == '>') return true;
    if (at + 3 < n && d[at + 2] == '<' && d[at + 3] == '/') return true;
  }
  return false;
}

}  // namespace

void ExplainTags(std::string_view source, const MarkupContext& context,
                 std::vector<TagVerdict>& verdicts, ConversionBuffers& buffers) {
  // The working copy as the scan would see it, byte for byte in place: lower-cased, each break
  // turned into a line break and blanks, a literal break left as it stands (it reaches the scan
  // restored, "<lit><BR></lit>").
  std::string& copy = buffers.copy;
  const std::size_t n = source.size();
  copy.resize(n);
  const TextLocale& locale = context.locale;
  std::size_t i = 0;
  if (locale.LowerIsAscii()) {
    // Eight ASCII bytes at a time.
    constexpr std::uint64_t kHigh = kEach(0x80);
    for (; i + 8 <= n; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, source.data() + i, 8);
      if ((w & kHigh) != 0) {
        for (std::size_t k = i; k < i + 8; ++k) copy[k] = locale.LowerByte(source[k]);
        continue;
      }
      w = AsciiLowerWord(w);
      std::memcpy(copy.data() + i, &w, 8);
    }
  }
  for (; i < n; ++i) copy[i] = locale.LowerByte(source[i]);
  for (std::size_t at = copy.find(kBreakTag); at != std::string::npos;
       at = copy.find(kBreakTag, at + 1)) {
    if (at >= 5 && copy.compare(at - 5, kLiteralBreak.size(), kLiteralBreak) == 0) continue;
    copy.replace(at, kBreakTag.size(), "\r\n  ");
  }
  // Tags are kept, so the scan changes the text only where it changes the copy: one buffer
  // serves as both.
  TagScan scan(copy, copy, true, context.tag_table, buffers.closings);
  scan.Explain(&verdicts);
  scan.Run();
}

const std::string& ConvertEntryTextInto(std::string_view source, bool keep_tags,
                                        bool reduce_empty_lines, const MarkupContext& context,
                                        ConversionBuffers& buffers) {
  std::string& text = buffers.text;
  std::string& copy = buffers.copy;
  ConvertBreaks(source, context.locale, reduce_empty_lines, text, copy);
  // No tag to look at, or tags that are kept and no line break where a pair would take one
  // out: only the held breaks of the text go.
  if (copy.find('<') == std::string::npos || (keep_tags && !BreakMayEndAPair(copy))) {
    // Most texts hold none: a library search finds that out much faster than the removal.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): a search, no copy
    if (std::memchr(text.data(), kMarker, text.size()) != nullptr) std::erase(text, kMarker);
    return text;
  }
  TagScan scan(text, copy, keep_tags, context.tag_table, buffers.closings);
  scan.Run();
  scan.TakeResult();
  return text;
}

std::string ConvertEntryText(std::string_view source, bool keep_tags,
                             const MarkupContext& context) {
  ConversionBuffers buffers;
  ConvertEntryTextInto(source, keep_tags, false, context, buffers);
  return std::move(buffers.text);
}

std::string ConvertEntryTextReducingEmptyLines(std::string_view source, bool keep_tags,
                                               const MarkupContext& context) {
  ConversionBuffers buffers;
  ConvertEntryTextInto(source, keep_tags, true, context, buffers);
  return std::move(buffers.text);
}

}  // namespace tavrin
