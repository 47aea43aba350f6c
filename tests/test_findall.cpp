// SPDX-License-Identifier: GPL-3.0-or-later
// Find All's masked-byte engine against a brute-force reference, and the
// typed values it searches for.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "control/findall.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

std::vector<int64_t> Reference(const Bytes& doc, const TMaskedPattern& p, int64_t first, int64_t last) {
  std::vector<int64_t> out;
  for (int64_t i = std::max<int64_t>(first, 0); i + p.Size() - 1 <= last && i + p.Size() <= int64_t(doc.size()); ++i) {
    bool fit = i % p.Align == 0;
    for (int k = 0; fit && k < p.Size(); ++k) fit = ((p.Fold ? p.Fold[doc[i + k]] : doc[i + k]) & p.Mask[k]) == p.Value[k];
    if (fit) out.push_back(i);
  }
  return out;
}

class FindAllTest : public EditorTest {};

TEST_F(FindAllTest, MatchesTheReferenceAcrossPiecesAndInSelections) {
  std::mt19937 rng(7);
  // A small alphabet makes hits common; 2.5 pieces long so hits straddle the piece seams.
  Bytes doc((5 << 20) / 2);
  for (auto& b : doc) b = "ab\0\x01\xC8\xFF"[rng() % 6];
  Load(doc);
  const TValueFormat formats[] = {{TValueType::vtU16, TByteOrder::boBig, false},
                                  {TValueType::vtI32, TByteOrder::boLittle, true},
                                  {TValueType::vtF32, TByteOrder::boLittle, false},
                                  {TValueType::vtU8, TByteOrder::boBig, true}};
  for (int round = 0; round < 24; ++round) {
    TMaskedPattern p;
    const int64_t at = (round % 2 == 0) ? (1 << 20) - 1 - round % 5 : rng() % doc.size();  // near a seam or anywhere
    const int len = 1 + static_cast<int>(rng() % 6);
    const int64_t start = std::min<int64_t>(at, int64_t(doc.size()) - len);
    if (round % 3 == 0) {
      p = TextPattern(std::string(doc.begin() + start, doc.begin() + start + len), round % 2 == 0);
    } else if (round % 3 == 1) {
      std::string hex;  // the bytes at start, some nibbles wild
      for (int k = 0; k < len; ++k) {
        char two[3];
        std::snprintf(two, 3, "%02X", doc[start + k]);
        if (rng() % 3 == 0) two[rng() % 2] = '?';
        hex += std::string(two) + (k % 2 ? " " : "");
      }
      p = *HexPattern(hex).Pattern;
    } else {
      const TValueFormat& f = formats[round % 4];
      const TValue v = DecodeValue(doc.data() + start, f);
      auto parsed = ValuePattern(ValueText(v, f.Type), f);
      ASSERT_TRUE(parsed.Pattern) << parsed.Error;
      p = *parsed.Pattern;
    }
    const int64_t first = round % 4 == 3 ? start - 3 : 0;
    const int64_t last = round % 4 == 3 ? start + len + 2 : int64_t(doc.size()) - 1;
    std::vector<int64_t> hits;
    ASSERT_TRUE(FindAll(*Ed, p, first, last, hits));
    EXPECT_EQ(hits, Reference(doc, p, first, last)) << "round " << round;
    EXPECT_FALSE(hits.empty() && p.Align == 1) << "the planted bytes fit, round " << round;
  }
}

TEST_F(FindAllTest, CaseCancelAndLimits) {
  Load(Bytes{'a', 'B', 'c', 'A', 'b', 'C', 0xE9, 'a', 'a', 'a'});
  std::vector<int64_t> hits;
  FindAll(*Ed, TextPattern("abc", false), 0, 99, hits);
  EXPECT_EQ(hits, (std::vector<int64_t>{0, 3}));
  hits.clear();
  FindAll(*Ed, TextPattern("abc", true), 0, 99, hits);
  EXPECT_TRUE(hits.empty());
  FindAll(*Ed, TextPattern("aa", true), 0, 99, hits);  // overlapping hits all listed
  EXPECT_EQ(hits, (std::vector<int64_t>{7, 8}));
  hits.clear();
  FindAll(*Ed, TextPattern("a", true), 4, 8, hits);
  EXPECT_EQ(hits, (std::vector<int64_t>{7, 8}));
}

// Text fits where Find finds it, in every character set, with or without
// case (accented letters, the Windows-1252 pair Ÿ/ÿ and EBCDIC letters too).
TEST_F(FindAllTest, TextFitsWhereFindFindsIt) {
  std::mt19937 rng(3);
  Bytes doc(3000);
  for (auto& b : doc) b = "aAeE\xE9\xC9\x9F\xFF\x81\xC1\x82\x90"[rng() % 12];
  Load(doc);
  for (TTranslationType t : {TTranslationType::ttAnsi, TTranslationType::ttDos8, TTranslationType::ttMac,
                             TTranslationType::ttEBCDIC}) {
    Ed->SetTranslation(t);
    for (const std::string text : {"a", "\xE9" "a", "A\xFF", "\x9F" "e", "\xC9" "E"}) {
      for (bool matchCase : {true, false}) {
        std::vector<int64_t> hits, found;
        FindAll(*Ed, TextPattern(text, matchCase, t), 0, int64_t(doc.size()) - 1, hits);
        for (int32_t at = 0;; ++at) {
          std::string p = text;
          at = Ed->Find(reinterpret_cast<uint8_t*>(p.data()), int32_t(p.size()), true, !matchCase, 1 << 30, at);
          if (at < 0) break;
          found.push_back(at);
        }
        EXPECT_EQ(hits, found) << int(t) << " " << text << " " << matchCase;
      }
    }
  }
}

TEST_F(FindAllTest, ARunInSlicesFindsWhatOneCallFinds) {
  Bytes doc(5000);
  for (size_t i = 0; i < doc.size(); ++i) doc[i] = "xyxyz"[i * 7 % 5];
  Load(doc);
  const TMaskedPattern p = TextPattern("xzy", true);
  std::vector<int64_t> whole;
  FindAll(*Ed, p, 10, 4000, whole);
  for (int64_t slice : {1, 2, 3, 97, 100000}) {
    TFindAllRun run(p, 10, 4000);
    int steps = 0;
    while (!run.Step(*Ed, slice)) ++steps;
    EXPECT_EQ(run.Hits(), whole) << slice;
    EXPECT_EQ(run.Done(), run.Total());
    EXPECT_GE(steps, (run.Total() - 1) / slice - 1);
  }
  EXPECT_FALSE(whole.empty());
}

// Aligned values sit at multiples of their width counted from the
// document's start, also in a range (or a slice of a run) that starts
// between two of them.
TEST_F(FindAllTest, AlignmentCountsFromTheDocumentStart) {
  Load(Bytes(64, 0x11));
  TMaskedPattern p;
  p.Value.assign(4, 0x11);
  p.Mask.assign(4, 0xFF);
  p.Align = 4;
  for (int64_t first : {1, 2, 3, 5, 8}) {
    std::vector<int64_t> expected, hits;
    for (int64_t pos = (first + 3) / 4 * 4; pos + 3 <= 41; pos += 4) expected.push_back(pos);
    FindAll(*Ed, p, first, 41, hits);
    EXPECT_EQ(hits, expected) << first;
    TFindAllRun run(p, first, 41);
    while (!run.Step(*Ed, 3)) {
    }
    EXPECT_EQ(run.Hits(), expected) << first;
  }
}

TEST(HexPatternText, WildcardsAndRefusals) {
  const auto p = HexPattern("4? ??00 a");
  EXPECT_FALSE(p.Pattern);
  const auto q = HexPattern("4? ??00 aF");
  ASSERT_TRUE(q.Pattern);
  EXPECT_EQ(q.Pattern->Mask, (Bytes{0xF0, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(q.Pattern->Value, (Bytes{0x40, 0x00, 0x00, 0xAF}));
  EXPECT_EQ(HexPattern("41 4 2").Error, "A byte has one digit at position 5");
  EXPECT_EQ(HexPattern("41 G2").Error, "\"G\" is no hex digit (position 4)");
  EXPECT_FALSE(HexPattern("  ").Pattern);
}

TEST(ValueTypes, EncodeDecodeAndRanges) {
  struct Row {
    TValueType Type;
    TByteOrder Order;
    const char* Text;
    Bytes Encoded;  // empty: refused
    const char* Shown;
  } rows[] = {
      {TValueType::vtU8, TByteOrder::boLittle, "255", {0xFF}, "255"},
      {TValueType::vtU8, TByteOrder::boLittle, "256", {}, ""},
      {TValueType::vtI8, TByteOrder::boBig, "-128", {0x80}, "-128"},
      {TValueType::vtI8, TByteOrder::boBig, "128", {}, ""},
      {TValueType::vtU16, TByteOrder::boBig, "0x1234", {0x12, 0x34}, "4660"},
      {TValueType::vtU16, TByteOrder::boLittle, "$1234", {0x34, 0x12}, "4660"},
      {TValueType::vtI16, TByteOrder::boLittle, "-2", {0xFE, 0xFF}, "-2"},
      {TValueType::vtU32, TByteOrder::boBig, "4294967295", {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
      {TValueType::vtI32, TByteOrder::boLittle, "-2147483648", {0, 0, 0, 0x80}, "-2147483648"},
      {TValueType::vtU64, TByteOrder::boLittle, "18446744073709551615", Bytes(8, 0xFF), "18446744073709551615"},
      {TValueType::vtU64, TByteOrder::boLittle, "-1", {}, ""},
      {TValueType::vtI64, TByteOrder::boBig, "-9223372036854775808", {0x80, 0, 0, 0, 0, 0, 0, 0}, "-9223372036854775808"},
      {TValueType::vtF32, TByteOrder::boLittle, "1.5", {0, 0, 0xC0, 0x3F}, "1.5"},
      {TValueType::vtF32, TByteOrder::boBig, "0.1", {0x3D, 0xCC, 0xCC, 0xCD}, "0.1"},
      {TValueType::vtF32, TByteOrder::boBig, "1e39", {}, ""},
      {TValueType::vtF64, TByteOrder::boBig, "-2", {0xC0, 0, 0, 0, 0, 0, 0, 0}, "-2"},
      {TValueType::vtF64, TByteOrder::boBig, "1.5x", {}, ""},
      {TValueType::vtF64, TByteOrder::boBig, "nan", {}, ""},
      {TValueType::vtI16, TByteOrder::boBig, "", {}, ""},
  };
  for (const Row& r : rows) {
    const TValueFormat f{r.Type, r.Order, false};
    const auto p = ValuePattern(r.Text, f);
    ASSERT_EQ(bool(p.Pattern), !r.Encoded.empty()) << ValueTypeName(r.Type) << " " << r.Text;
    if (!p.Pattern) continue;
    EXPECT_EQ(p.Pattern->Value, r.Encoded) << r.Text;
    EXPECT_EQ(ValueText(DecodeValue(r.Encoded.data(), f), r.Type), r.Shown);
  }
  EXPECT_EQ(ValuePattern("7", {TValueType::vtU32, TByteOrder::boLittle, true}).Pattern->Align, 4);
}

}  // namespace
}  // namespace byteloom::test
