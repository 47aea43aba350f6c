// SPDX-License-Identifier: GPL-3.0-or-later
// Find, Find Next, Replace, Goto and the jumps: the search expression, the
// commands' steps on a document in markup, their outcomes and messages.
#include <gtest/gtest.h>

#include "editor/findexpr.h"
#include "tests/support/markup.h"

namespace byteloom::test {
namespace {

using O = TSearchOutcome;

TEST(SearchExpression, TheLineUnderTheBoxSaysWhatIsSearched) {
  const std::pair<const char*, const char*> rows[] = {
      {"coreutils", "Bytes: CE (not hex digits, skipped: orutils)"},
      {"88 13", "Bytes: 88 13"},
      {"0x41", "Bytes: 00 41 (not hex digits, skipped: x)"},
      {"tcore", "Text: 63 6F 72 65"},
      {"Tcore", "Text ignoring case: 63 6F 72 65"},
      {"t0123456789abcdefg", "Text: 30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66 ..."},
      {"", "Not a search expression"}, {"t", "Not a search expression"}, {"xyz!", "Not a search expression"}};
  for (const auto& [typed, line] : rows) EXPECT_EQ(DescribeSearchExpression(typed), line) << typed;
  EXPECT_EQ(DescribeReplacement("0F27"), "Replaced by 4 bytes: 30 46 32 37 (text, taken literally)");
  EXPECT_EQ(DescribeReplacement("A"), "Replaced by 1 byte: 41 (text, taken literally)");
  EXPECT_EQ(DescribeReplacement(""), "Replaced by nothing (the matches are deleted)");
}

TEST(SearchExpression, TextHexAndIgnoreCase) {
  struct {
    const char* typed;
    Bytes pattern;
    bool text, ignoreCase;
  } rows[] = {{"tHello", {'H', 'e', 'l', 'l', 'o'}, true, false}, {"THi", {'H', 'i'}, true, true},
              {"t", {}, true, false},          {"T", {}, true, true},       {"t 41", {' ', '4', '1'}, true, false},
              {"48 65 6C", {0x48, 0x65, 0x6C}, false, false},                {"48656c", {0x48, 0x65, 0x6C}, false, false},
              {"123", {0x01, 0x23}, false, false}, {"0x41", {0x00, 0x41}, false, false}, {"4", {0x04}, false, false},
              {"AbC", {0x0A, 0xBC}, false, false}, {"xyz!", {}, false, false}};
  for (const auto& r : rows) {
    const TSearchExpression e = ParseSearchExpression(r.typed);
    EXPECT_TRUE(e.Pattern == r.pattern && e.Text == r.text && e.IgnoreCase == r.ignoreCase) << r.typed;
  }
  const std::pair<TSearchResult, const char*> messages[] = {
      {{O::soFindNotFound}, "Data not found!"},   {{O::soNextNotFound}, "Data not found."},
      {{O::soReplaceNotFound}, "Data not Found!"}, {{O::soReplacedAll, 3}, "3 Founds replaced!"},
      {{O::soInvalidPosition}, "Invalid position"}, {{O::soFound}, ""}, {{O::soRunFind}, ""}, {{O::soStopped}, ""}};
  for (const auto& [result, text] : messages) EXPECT_EQ(SearchMessage(result), text);
}

class SearchCommands : public MarkupTest {
 protected:
  TSearchState S;
  O Find(const std::string& text) {
    EXPECT_TRUE(BeginSearchCommand(S, *Ed));
    return FindCommand(S, *Ed, text).Outcome;
  }
  O Next() { return FindNextCommand(S, *Ed).Outcome; }
};

TEST_F(SearchCommands, FindSelectsTheMatchWithTheCaretOnItsLastByte) {
  const char* rows[][4] = {
      // document, typed, found?, after
      {"{41} 42 43", "41 42", "y", "[41 {42}] 43"},  // a match at the caret counts
      {"41 {41} 42 43", "414243", "y", "41 [41 42 {43}]"},
      {"00 {11} 22", "00", "n", "00 {11} 22"},
      {"68 65 6C 6C 6F", "THELLO", "y", "[68 65 6C 6C {6F}]"},
      {"48 45 4C 4C 4F", "tHello", "n", "{48} 45 4C 4C 4F"},
      {"41 00 00", "0x41", "n", "{41} 00 00"},
      {"00 41 00", "41", "y", "00 [{41}] 00"},
      {"00 04", "4", "y", "00 [{04}]"},
      {"00 41", "t", "-", "{00} 41"},
      {"00 41", "", "-", "{00} 41"},
      {"00 41", "zz", "-", "{00} 41"},
  };
  for (const auto& r : rows) {
    Set(r[0]);
    const O expected = r[2][0] == 'y' ? O::soFound : r[2][0] == 'n' ? O::soFindNotFound : O::soSilent;
    EXPECT_EQ(Find(r[1]), expected) << r[0] << " / " << r[1];
    EXPECT_EQ(State(), r[3]) << r[0] << " / " << r[1];
  }
}

TEST_F(SearchCommands, FindNextWalksOverlappingMatchesThenStartsAgain) {
  Set("61 61 61");
  EXPECT_EQ(Next(), O::soRunFind);  // no Find yet
  EXPECT_EQ(Find("taa"), O::soFound);
  EXPECT_EQ(Next(), O::soFound);
  EXPECT_EQ(State(), "61 [61 {61}]");
  EXPECT_EQ(Next(), O::soNextNotFound);
  EXPECT_EQ(S.LastFoundPos, -1);
  EXPECT_EQ(Next(), O::soFound);  // from the start again
  EXPECT_EQ(S.LastFoundPos, 0);
  Ed->Seek(2, 0, true);  // the caret moved away: the same match again
  EXPECT_EQ(Next(), O::soFound);
  EXPECT_EQ(S.LastFoundPos, 0);
  S.ReleasePattern();  // an editor window was closed
  EXPECT_EQ(Next(), O::soRunFind);
}

TEST_F(SearchCommands, AStoppedSearchLeavesTheSelectionAndTheStateAndReportsAsItGoes) {
  Bytes data(3 << 20, 0);
  data[10] = 'A', data[11] = 'B', data.end()[-2] = 'A', data.end()[-1] = 'B';
  Load(data);
  const auto stop = [](int64_t, int64_t) { return false; };
  ASSERT_TRUE(BeginSearchCommand(S, *Ed));
  EXPECT_EQ(FindCommand(S, *Ed, "tAB", stop).Outcome, O::soFound);  // found in the first piece
  EXPECT_EQ(S.LastFoundPos, 10);
  EXPECT_EQ(FindNextCommand(S, *Ed, stop).Outcome, O::soStopped);
  EXPECT_EQ(S.LastFoundPos, 10);
  EXPECT_EQ(Ed->SelEnd(), 10);
  std::vector<std::pair<int64_t, int64_t>> reports;
  EXPECT_EQ(FindNextCommand(S, *Ed, [&](int64_t done, int64_t total) {
              reports.emplace_back(done, total);
              return true;
            }).Outcome,
            O::soFound);
  EXPECT_EQ(S.LastFoundPos, static_cast<int64_t>(data.size()) - 2);
  ASSERT_EQ(reports.size(), 2u);  // after each piece but the last
  EXPECT_LT(reports[0].first, reports[1].first);
  EXPECT_LT(reports[1].first, reports[1].second);
  EXPECT_EQ(reports[1].second, static_cast<int64_t>(data.size()) - 11);
}

TEST_F(SearchCommands, TextIsTranslatedOnceAndStaysTranslatedForFindNext) {
  Set("C1 C2 00 C1 {C2}");
  Ed->SetTranslation(TTranslationType::ttEBCDIC);
  // The first search cannot run (no room behind the caret); the stored
  // pattern is still the document's bytes, so Find Next finds the text.
  EXPECT_EQ(Find("tAB"), O::soFindNotFound);
  EXPECT_EQ(*S.SearchPattern, (Bytes{0xC1, 0xC2}));
  EXPECT_EQ(Next(), O::soFound);
  EXPECT_EQ(Next(), O::soFound);
  EXPECT_EQ(State(), "C1 C2 00 [C1 {C2}]");
  Ed->SetTranslation(TTranslationType::ttAnsi);
  Set("{41} 62 43");
  EXPECT_EQ(Find("TaBc"), O::soFound);
  EXPECT_EQ(*S.SearchPattern, (Bytes{'a', 'b', 'c'}));
}

TEST_F(SearchCommands, ReplaceOnceAndReplaceAll) {
  struct {
    const char *doc, *typed, *by;
    bool all;
    O outcome;
    int count;
    const char* after;
  } rows[] = {
      {"{41} 41 41", "41", "B", false, O::soFound, 0, "[{42}] 41 41"},
      {"{00} 41", "41", "42", false, O::soFound, 0, "00 [{34} 32]"},  // the text "42"
      {"{00} 41 41", "4141", "", false, O::soFound, 0, "{00}"},
      {"{00}", "41", "B", false, O::soReplaceNotFound, 0, "{00}"},
      {"{41} 41 41", "41", "B", true, O::soReplacedAll, 3, "42 42 [{42}]"},
      {"{41} 00 41", "41", "AA", true, O::soReplacedAll, 2, "41 41 00 [{41} 41]"},  // it ends
      {"{41} 00 41", "41", "", true, O::soReplacedAll, 2, "{00}"},
      {"41 {00} 41 41", "tA", "xA", true, O::soReplacedAll, 2, "41 00 78 41 [{78} 41]"},
      {"{00} 11 22 33", "11 22", "", true, O::soReplacedAll, 1, "00 {33}"},
      {"41 {00}", "41", "B", true, O::soFindNotFound, 0, "41 {00}"},  // from the caret on
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.doc) + " / " + r.typed + " / " + r.by);
    Set(r.doc);
    EXPECT_TRUE(BeginSearchCommand(S, *Ed));
    const TSearchResult result = ReplaceCommand(S, *Ed, r.typed, r.by, r.all);
    EXPECT_EQ(result.Outcome, r.outcome);
    EXPECT_EQ(result.Count, r.count);
    EXPECT_EQ(State(), r.after);
  }
}

TEST_F(SearchCommands, EmptyDocumentDoesNothing) {
  Set("");
  EXPECT_FALSE(BeginSearchCommand(S, *Ed));
  EXPECT_EQ(FindCommand(S, *Ed, "41").Outcome, O::soSilent);
  EXPECT_EQ(Next(), O::soSilent);
  EXPECT_EQ(ReplaceCommand(S, *Ed, "41", "B", true).Outcome, O::soSilent);
  EXPECT_EQ(GotoCommand(*Ed, "0").Outcome, O::soSilent);
  JumpCommand(S, *Ed, true);
  EXPECT_EQ(Ed->DataSize(), 0);
}

TEST_F(SearchCommands, GotoTakesDecimalDollarAndZeroX) {
  const std::pair<const char*, int32_t> rows[] = {
      {"$10", 16}, {"0x10", 16}, {"0X1f", 31}, {"16", 16}, {"  7", 7}, {"", -2}, {"-1", -1}, {"abc", -1},
      {"10 ", -1}, {" 0x10", -1}, {"32", -1}, {"$FFFFFFFF", -1}};  // -1: invalid, -2: silent
  for (const auto& [typed, to] : rows) {
    Load(Pattern(32));
    Ed->SetSelStart(5);
    Ed->SetSelEnd(6);
    const O expected = to >= 0 ? O::soFound : to == -1 ? O::soInvalidPosition : O::soSilent;
    EXPECT_EQ(GotoCommand(*Ed, typed).Outcome, expected) << typed;
    EXPECT_EQ(Ed->GetCursorPos(), to >= 0 ? to : 5) << typed;
    EXPECT_EQ(Ed->SelAnchor() == -1, to >= 0) << typed;  // a jump clears the selection
  }
}

TEST_F(SearchCommands, JumpsByTheAmountAndStopAtTheEnds) {
  Load(Pattern(100));
  EXPECT_EQ(JumpAmountText(S), "256");
  struct {
    const char* amount;
    bool accepted;
    int32_t from;
    bool forward;
    int32_t to;
  } rows[] = {{"", false, 10, true, 99},   {"abc", false, 10, false, 0}, {"0x10", false, 10, true, 99},
              {"$10", true, 10, true, 26}, {"100", true, 50, false, 0},  {"-5", true, 10, true, 5},
              {"-2147483648", true, 10, false, 99}};
  for (const auto& r : rows) {
    EXPECT_EQ(SetJumpAmount(S, r.amount), r.accepted) << r.amount;
    Ed->SetSelStart(r.from);
    JumpCommand(S, *Ed, r.forward);
    EXPECT_EQ(Ed->GetCursorPos(), r.to) << r.amount;
  }
}

}  // namespace
}  // namespace byteloom::test
