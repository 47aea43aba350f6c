// SPDX-License-Identifier: GPL-3.0-or-later
// Find: the leftmost match between a start and a last position, the pattern
// changed in place by translation and lower-casing, matches across the
// pieces the document is read in, and a randomized check against a plain
// byte-by-byte scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "control/hexeditor.h"
#include "control/translation.h"
#include "platform/codepages.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

using TT = TTranslationType;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

class SearchTest : public EditorTest {
 protected:
  // Find on a copy of pattern; the copy is left in pattern afterwards.
  int32_t Find(Bytes& pattern, bool ignoreCase, int32_t last, int32_t start, bool translate = false) {
    return Ed->Find(pattern.data(), static_cast<int32_t>(pattern.size()), translate, ignoreCase, last, start);
  }
};

// The plain scan: after a failed partial match it starts again one byte
// after where that partial match began. pattern is already translated and
// lower-cased.
int32_t ReferenceFind(const Bytes& doc, const Bytes& pattern, bool ignoreCase, int32_t last, int32_t start) {
  const int32_t n = static_cast<int32_t>(pattern.size());
  if (last >= static_cast<int32_t>(doc.size())) last = static_cast<int32_t>(doc.size()) - 1;
  if (start < 0) start = 0;
  if (n < 1 || static_cast<int64_t>(start) + n > static_cast<int64_t>(last) + 1) return -1;
  int32_t k = 0, p = start, r = start + 1;
  while (p <= last) {
    uint8_t b = doc[static_cast<size_t>(p)];
    if (ignoreCase) b = AnsiLower(b);
    if (pattern[static_cast<size_t>(k)] == b) {
      if (k == n - 1) return p - n + 1;
      if (k == 0) r = p + 1;
      ++p;
      ++k;
    } else {
      p = r;
      k = 0;
      r = p + 1;
    }
  }
  return -1;
}

// --- Single cases ---------------------------------------------------------------

TEST_F(SearchTest, FindsTheLeftmostMatchWithinTheRange) {
  struct Row {
    const char* what;
    std::string doc, pattern;
    int32_t last, start, expected;
  };
  const Row rows[] = {
      {"restart after a failed partial match", "AABC", "ABC", 3, 0, 1},
      {"match at position 0", "ABCABC", "ABC", 5, 0, 0},
      {"second match from a later start", "ABCABC", "ABC", 5, 1, 3},
      {"start exactly at the match", "xxABC", "ABC", 4, 2, 2},
      {"start one past the match", "xxABCxx", "ABC", 6, 3, -1},
      {"match ending exactly at last", "xxABCyy", "ABC", 4, 0, 2},
      {"match ending one past last", "xxABCyy", "ABC", 3, 0, -1},
      {"last beyond the document is cut", "xxABC", "ABC", 1000, 0, 2},
      {"match at the very end", "xxxxABC", "ABC", 6, 0, 4},
      {"start beyond last", "ABCABC", "ABC", 2, 4, -1},
      {"pattern longer than the range", "ABCABC", "ABCA", 5, 3, -1},
      {"pattern longer than the document", "AB", "ABC", 1, 0, -1},
      {"pattern is the whole document", "ABC", "ABC", 2, 0, 0},
      {"negative start counts as 0", "ABCx", "ABC", 3, -5, 0},
      {"very negative start", "xABC", "ABC", 3, INT32_MIN, 1},
      {"negative last", "ABC", "A", -1, 0, -1},
      {"start near the top of the range", "ABC", "ABC", 2, INT32_MAX, -1},
      {"single byte", "xyzzy", "z", 4, 0, 2},
      {"repeated byte pattern", "aabaaab", "aaab", 6, 0, 3},
      {"no match", "abcdef", "abd", 5, 0, -1},
      {"case matters without ignoreCase", "xabc", "ABC", 3, 0, -1},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Load(B(r.doc));
    Bytes pattern = B(r.pattern);
    EXPECT_EQ(Find(pattern, false, r.last, r.start), r.expected);
    EXPECT_EQ(pattern, B(r.pattern));
  }
}

TEST_F(SearchTest, NothingToFindInAnEmptyDocument) {
  Bytes pattern = B("ABC");
  EXPECT_EQ(Find(pattern, true, 0, 0), -1);  // the new document of Loaded
  Load({});
  EXPECT_EQ(Ed->DataSize(), 0);
  EXPECT_EQ(Find(pattern, true, 100, 0), -1);
  EXPECT_EQ(pattern, B("ABC"));
}

TEST_F(SearchTest, CountBelowOneFindsNothingAndLeavesThePatternAlone) {
  Load(B("abcABC"));
  Ed->SetTranslation(TT::ttEBCDIC);
  for (int32_t count : {0, -1, INT32_MIN}) {
    uint8_t pattern[] = {'A', 'B', 'C'};
    EXPECT_EQ(Ed->Find(pattern, count, true, true, 5, 0), -1) << count;
    EXPECT_EQ(Bytes(pattern, pattern + 3), B("ABC"));
  }
  // A pattern that cannot fit is not translated or lower-cased either.
  Bytes pattern = B("ABC");
  EXPECT_EQ(Find(pattern, true, 5, 4, true), -1);
  EXPECT_EQ(pattern, B("ABC"));
  EXPECT_EQ(Ed->Find(nullptr, 3, true, true, 5, 0), -1);
}

TEST_F(SearchTest, IgnoreCaseLowerCasesPatternAndDocument) {
  Load(B("xxAbCxxabcxx"));
  Bytes pattern = B("ABC");
  EXPECT_EQ(Find(pattern, true, 11, 0), 2);
  EXPECT_EQ(pattern, B("abc"));
  EXPECT_EQ(Find(pattern, true, 11, 3), 7);
  EXPECT_EQ(Find(pattern, false, 11, 0), 7);  // only the lower-case one without ignoreCase
}

TEST_F(SearchTest, IgnoreCaseFollowsWindows1252) {
  // À/à, Š/š, Œ/œ, Ÿ/ÿ pair up; × (D7) and ÷ (F7) have no other case; ß stays.
  struct Row {
    Bytes doc, pattern, lowered;
    int32_t expected;
  };
  const Row rows[] = {
      {{'x', 0xE0, 0x9A, 'y'}, {0xC0, 0x8A, 'Y'}, {0xE0, 0x9A, 'y'}, 1},
      {{'x', 0xC0, 0x8A, 'Y'}, {0xE0, 0x9A, 'y'}, {0xE0, 0x9A, 'y'}, 1},
      {{0x20, 0x9C, 0xFF}, {0x8C, 0x9F}, {0x9C, 0xFF}, 1},
      {{0x20, 0x8C, 0x9F}, {0x9C, 0xFF}, {0x9C, 0xFF}, 1},
      {{0xD7, 0xF7, 0xDF}, {0xF7}, {0xF7}, 1},
      {{0xF7, 0xF7}, {0xD7}, {0xD7}, -1},  // × is not the capital of ÷
      {{0xDF, 0xDF}, {'S', 'S'}, {'s', 's'}, -1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(i);
    Load(rows[i].doc);
    Bytes pattern = rows[i].pattern;
    EXPECT_EQ(Find(pattern, true, 100, 0), rows[i].expected);
    EXPECT_EQ(pattern, rows[i].lowered);
  }
}

TEST_F(SearchTest, TranslateTurnsTextIntoFileBytesOnce) {
  Load({0x40, 0xC1, 0xC2, 0xC1, 0xC2, 0xC3, 0x40});
  Ed->SetTranslation(TT::ttEBCDIC);
  Bytes pattern = B("ABC");
  EXPECT_EQ(Find(pattern, false, 6, 0, true), 3);
  EXPECT_EQ(pattern, (Bytes{0xC1, 0xC2, 0xC3}));
  // Find Next passes the already translated pattern with translate off.
  EXPECT_EQ(Find(pattern, false, 6, 0, false), 3);
  EXPECT_EQ(pattern, (Bytes{0xC1, 0xC2, 0xC3}));
  // Without translation the text itself is looked for.
  Bytes text = B("ABC");
  EXPECT_EQ(Find(text, false, 6, 0, false), -1);
  EXPECT_EQ(text, B("ABC"));
}

TEST_F(SearchTest, TranslateThenLowerCase) {
  // Mac: ANSI Ä (C4) is file byte 80, ä (E4) is 8A. Lower-casing comes after
  // the translation, so the translated pattern is lower-cased as ANSI bytes.
  Load({'x', 0x80, 'x', 'A', 0x8A});
  Ed->SetTranslation(TT::ttMac);
  Bytes pattern = {0xE4};
  EXPECT_EQ(Find(pattern, false, 4, 0, true), 4);
  EXPECT_EQ(pattern, Bytes{0x8A});
  Bytes upper = {'x', 0xC4};
  EXPECT_EQ(Find(upper, true, 4, 0, true), 0);  // 80 lower-cases to itself
  EXPECT_EQ(upper, (Bytes{'x', 0x80}));
  // With ttAnsi translate changes nothing.
  Ed->SetTranslation(TT::ttAnsi);
  Bytes ansi = {0xC4};
  EXPECT_EQ(Find(ansi, false, 4, 0, true), -1);
  EXPECT_EQ(ansi, Bytes{0xC4});
}

TEST_F(SearchTest, ShowsTheWaitCursorOnlyWhileScanning) {
  Load(B("xxABC"));
  Host.Cursors.clear();
  Bytes pattern = B("ABC");
  EXPECT_EQ(Find(pattern, false, 4, 0), 2);
  EXPECT_EQ(Host.Cursors, (std::vector<TCursor>{TCursor::crHourGlass, TCursor::crIBeam}));
  Host.Cursors.clear();
  EXPECT_EQ(Find(pattern, false, 4, 3), -1);  // cannot fit: no scan
  EXPECT_TRUE(Host.Cursors.empty());
}

TEST_F(SearchTest, SeesBytesWrittenAfterLoading) {
  Load(B("xxxxxxxx"));
  Ed->FillCache(0);
  Ed->WriteBuffer("AB", 5, 2);
  Bytes pattern = B("AB");
  EXPECT_EQ(Find(pattern, false, 7, 0), 5);
}

// --- Matches across the pieces the document is read in ------------------------

class SearchChunkTest : public SearchTest {
 protected:
  static constexpr int32_t C = THexEditor::kFindChunkSize;
  void SetUp() override {
    SearchTest::SetUp();
    // The letters a, b and c only: the planted pattern (with d, r, x, y, z)
    // occurs nowhere else, with or without ignoreCase.
    Doc.resize(static_cast<size_t>(3 * C + 100));
    std::mt19937 rng(7);
    for (auto& b : Doc) b = static_cast<uint8_t>('a' + rng() % 3);
    Load(Doc);
  }
  // Writes the pattern (capitals) at pos, runs Find, restores the bytes.
  int32_t PlantAndFind(int32_t pos, bool ignoreCase, int32_t last, int32_t start) {
    Ed->WriteBuffer(kPlanted, pos, kLen);
    Bytes pattern(kPlanted, kPlanted + kLen);
    if (ignoreCase) AnsiLowerBuffer(pattern.data(), kLen);  // the document keeps the capitals
    const int32_t found = Find(pattern, ignoreCase, last, start);
    Ed->WriteBuffer(Doc.data() + pos, pos, kLen);
    return found;
  }
  static constexpr int32_t kLen = 15;
  static constexpr uint8_t kPlanted[kLen + 1] = "ABACADABRAXYZZY";
  Bytes Doc;
};

TEST_F(SearchChunkTest, FindsMatchesStraddlingPieceEdges) {
  const int32_t size = static_cast<int32_t>(Doc.size());
  for (bool ignoreCase : {false, true}) {
    for (int32_t start : {0, 7}) {
      for (int32_t edge : {start + C, start + 2 * C}) {
        // From wholly before the edge to wholly after it.
        for (int32_t pos = edge - kLen - 1; pos <= edge + 1; ++pos) {
          SCOPED_TRACE(testing::Message() << "ignoreCase " << ignoreCase << " start " << start << " pos " << pos);
          EXPECT_EQ(PlantAndFind(pos, ignoreCase, size - 1, start), pos);
        }
      }
      SCOPED_TRACE(testing::Message() << "ignoreCase " << ignoreCase << " start " << start);
      EXPECT_EQ(PlantAndFind(size - kLen, ignoreCase, size - 1, start), size - kLen);
      EXPECT_EQ(PlantAndFind(size - kLen, ignoreCase, size - 2, start), -1);
      EXPECT_EQ(PlantAndFind(start, ignoreCase, size - 1, start), start);
      EXPECT_EQ(PlantAndFind(start, ignoreCase, size - 1, start + 1), -1);
    }
  }
}

TEST_F(SearchChunkTest, LastPositionInsideALaterPiece) {
  // The range ends just after a match that lies past the first piece.
  const int32_t pos = C + 1000;
  EXPECT_EQ(PlantAndFind(pos, false, pos + kLen - 1, 0), pos);
  EXPECT_EQ(PlantAndFind(pos, false, pos + kLen - 2, 0), -1);
  EXPECT_EQ(PlantAndFind(pos, true, pos + kLen - 1, 10), pos);
}

TEST_F(SearchChunkTest, PatternLongerThanAPiece) {
  // A pattern of more than one piece, taken from the document itself.
  const int32_t pos = C / 2 + 3;
  const int32_t len = C + 5000;
  Bytes pattern(Doc.begin() + pos, Doc.begin() + pos + len);
  const int32_t expected = ReferenceFind(Doc, pattern, false, static_cast<int32_t>(Doc.size()) - 1, 0);
  ASSERT_LE(expected, pos);
  EXPECT_EQ(Find(pattern, false, static_cast<int32_t>(Doc.size()) - 1, 0), expected);
  EXPECT_EQ(Find(pattern, false, static_cast<int32_t>(Doc.size()) - 1, expected + 1),
            ReferenceFind(Doc, pattern, false, static_cast<int32_t>(Doc.size()) - 1, expected + 1));
}

TEST_F(SearchChunkTest, AgreesWithThePlainScanOnALargeDocument) {
  // Three-letter text: partial matches everywhere, also across piece edges.
  std::mt19937 rng(11);
  const int32_t size = static_cast<int32_t>(Doc.size());
  for (int i = 0; i < 40; ++i) {
    const bool ignoreCase = i % 2 == 1;
    const int32_t len = 6 + static_cast<int32_t>(rng() % 10);
    // Taken from near a piece edge, sometimes with one byte changed.
    const int32_t from = static_cast<int32_t>((1 + rng() % 2) * C - rng() % 40);
    Bytes pattern(Doc.begin() + from, Doc.begin() + from + len);
    if (rng() % 2) pattern[rng() % static_cast<size_t>(len)] = static_cast<uint8_t>('a' + rng() % 3);
    if (ignoreCase) pattern[0] = static_cast<uint8_t>(pattern[0] - 'a' + 'A');
    const int32_t start = static_cast<int32_t>(rng() % static_cast<uint32_t>(2 * C));
    const int32_t last = size - 1 - static_cast<int32_t>(rng() % 50);
    Bytes expectedPattern = pattern;
    if (ignoreCase) AnsiLowerBuffer(expectedPattern.data(), len);
    const int32_t expected = ReferenceFind(Doc, expectedPattern, ignoreCase, last, start);
    SCOPED_TRACE(testing::Message() << "round " << i << " start " << start << " expected " << expected);
    EXPECT_EQ(Find(pattern, ignoreCase, last, start), expected);
  }
}

// --- Randomized comparison with the plain scan -----------------------------------

TEST_F(SearchTest, AgreesWithThePlainScanOnRandomDocuments) {
  // Letters in both cases, Windows-1252 capitals and their small letters,
  // and bytes without case.
  const Bytes pool = {'a', 'A', 'b', 'B', 0xC0, 0xE0, 0x8A, 0x9A, 0x9F, 0xFF, 0xD7, 0xF7, 0x00, 0xC1, 0x81};
  const TT translations[] = {TT::ttAnsi, TT::ttDos8, TT::ttMac, TT::ttEBCDIC};
  std::mt19937 rng(2024);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  for (int round = 0; round < 400; ++round) {
    Bytes alphabet;
    const size_t letters = 2 + pick(3);
    for (size_t i = 0; i < letters; ++i) alphabet.push_back(pool[pick(pool.size())]);
    Bytes doc(pick(200));
    for (auto& b : doc) b = alphabet[pick(alphabet.size())];
    Load(doc);
    const int32_t size = static_cast<int32_t>(doc.size());

    for (int q = 0; q < 8; ++q) {
      Bytes pattern(1 + pick(6));
      if (size > 0 && pick(2) == 0) {  // a piece of the document, maybe altered
        const size_t from = pick(doc.size());
        for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = doc[(from + i) % doc.size()];
        if (pick(3) == 0) pattern[pick(pattern.size())] = alphabet[pick(alphabet.size())];
      } else {
        for (auto& b : pattern) b = alphabet[pick(alphabet.size())];
      }
      const bool ignoreCase = pick(2) == 0;
      const bool translate = pick(4) == 0;
      const TT translation = translations[pick(std::size(translations))];
      Ed->SetTranslation(translation);
      const int32_t start = static_cast<int32_t>(pick(static_cast<size_t>(size) + 6)) - 3;
      const int32_t last = static_cast<int32_t>(pick(static_cast<size_t>(size) + 6)) - 2;

      // What the pattern must become, and where it must be found.
      Bytes expectedPattern = pattern;
      const int32_t n = static_cast<int32_t>(pattern.size());
      const bool fits = int64_t{std::max(start, 0)} + n <= int64_t{std::min(last, size - 1)} + 1;
      if (fits) {
        if (translate && translation != TT::ttAnsi)
          TranslateToFile(translation, expectedPattern.data(), expectedPattern.data(), n);
        if (ignoreCase) AnsiLowerBuffer(expectedPattern.data(), n);
      }
      const int32_t expected = ReferenceFind(doc, expectedPattern, ignoreCase, last, start);

      SCOPED_TRACE(testing::Message() << "round " << round << " query " << q << " size " << size << " start "
                                      << start << " last " << last << " ignoreCase " << ignoreCase << " translate "
                                      << translate);
      ASSERT_EQ(Find(pattern, ignoreCase, last, start, translate), expected);
      ASSERT_EQ(pattern, expectedPattern);
    }
  }
}

}  // namespace
}  // namespace byteloom::test
