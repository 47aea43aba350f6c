// Find, Find Next, Replace, Goto and the jumps: the search expression, the
// commands' steps on a document in markup, their outcomes and messages.
#include <gtest/gtest.h>

#include <climits>

#include "editor/findexpr.h"
#include "platform/numconv.h"
#include "tests/support/markup.h"

namespace byteloom::test {
namespace {

TEST(SearchExpression, TextHexAndIgnoreCase) {
  struct Row {
    const char* typed;
    Bytes pattern;
    bool text, ignoreCase;
  } rows[] = {
      {"tHello", {'H', 'e', 'l', 'l', 'o'}, true, false},
      {"THello", {'H', 'e', 'l', 'l', 'o'}, true, true},
      {"t", {}, true, false},
      {"T", {}, true, true},
      {"t 41", {' ', '4', '1'}, true, false},
      {"48 65 6C", {0x48, 0x65, 0x6C}, false, false},
      {"48656c", {0x48, 0x65, 0x6C}, false, false},
      {"123", {0x01, 0x23}, false, false},
      {"0x41", {0x00, 0x41}, false, false},
      {"4", {0x04}, false, false},
      {"AbC", {0x0A, 0xBC}, false, false},  // upper case is hex, not text
      {"xyz!", {}, false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.typed);
    const TSearchExpression e = ParseSearchExpression(r.typed);
    EXPECT_EQ(e.Pattern, r.pattern);
    EXPECT_EQ(e.Text, r.text);
    EXPECT_EQ(e.IgnoreCase, r.ignoreCase);
  }
}

TEST(SearchExpression, MessagesOfTheOutcomes) {
  using O = TSearchOutcome;
  EXPECT_EQ(SearchMessage({O::soFindNotFound}), "Data not found!");
  EXPECT_EQ(SearchMessage({O::soNextNotFound}), "Data not found.");
  EXPECT_EQ(SearchMessage({O::soReplaceNotFound}), "Data not Found!");
  EXPECT_EQ(SearchMessage({O::soReplacedAll, 3}), "3 Founds replaced!");
  EXPECT_EQ(SearchMessage({O::soInvalidPosition}), "Invalid position");
  for (O silent : {O::soSilent, O::soFound, O::soRunFind}) EXPECT_EQ(SearchMessage({silent}), "");
}

class SearchCommands : public MarkupTest {
 protected:
  TSearchState S;  // a state of the test's own (the program's one is SearchState())

  TSearchOutcome Find(const std::string& text) {
    EXPECT_TRUE(BeginSearchCommand(S, *Ed));
    return FindCommand(S, *Ed, text).Outcome;
  }
  TSearchResult Replace(const std::string& text, const std::string& by, bool all) {
    EXPECT_TRUE(BeginSearchCommand(S, *Ed));
    return ReplaceCommand(S, *Ed, text, by, all);
  }
};

using O = TSearchOutcome;

TEST_F(SearchCommands, FindSelectsTheMatchWithTheCaretOnItsLastByte) {
  struct Row {
    const char* doc;
    const char* typed;
    O outcome;
    const char* after;
  } rows[] = {
      {"{41} 42 43", "41 42", O::soFound, "[41 {42}] 43"},          // a match at the caret counts
      {"41 {41} 42 43", "414243", O::soFound, "41 [41 42 {43}]"},   // restart after a partial match
      {"00 {11} 22", "00", O::soFindNotFound, "00 {11} 22"},
      {"68 65 6C 6C 6F", "THELLO", O::soFound, "[68 65 6C 6C {6F}]"},
      {"48 45 4C 4C 4F", "tHello", O::soFindNotFound, "{48} 45 4C 4C 4F"},
      {"41 00 00", "0x41", O::soFindNotFound, "{41} 00 00"},        // 0x41 is 00 41
      {"00 41 00", "41", O::soFound, "00 [{41}] 00"},
      {"00 04", "4", O::soFound, "00 [{04}]"},
      {"00 41", "t", O::soSilent, "{00} 41"},
      {"00 41", "", O::soSilent, "{00} 41"},
      {"00 41", "zz", O::soSilent, "{00} 41"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.doc) + " / " + r.typed);
    Set(r.doc);
    EXPECT_EQ(Find(r.typed), r.outcome);
    EXPECT_EQ(State(), r.after);
  }
  EXPECT_EQ(S.SearchText, "zz");
}

TEST_F(SearchCommands, FindNextWalksOverlappingMatchesThenStartsAgain) {
  Set("61 61 61");
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soRunFind);  // no Find yet
  EXPECT_EQ(Find("taa"), O::soFound);
  EXPECT_EQ(S.LastFoundPos, 0);
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soFound);
  EXPECT_EQ(State(), "61 [61 {61}]");
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soNextNotFound);
  EXPECT_EQ(S.LastFoundPos, -1);
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soFound);  // from the start again
  EXPECT_EQ(S.LastFoundPos, 0);
  // The caret moved away: the same match is selected again first.
  Ed->Seek(2, 0, true);
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soFound);
  EXPECT_EQ(S.LastFoundPos, 0);
  // A closed window releases the pattern.
  S.ReleasePattern();
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soRunFind);
}

TEST_F(SearchCommands, TextIsTranslatedOnceAndStaysTranslatedForFindNext) {
  Set("C1 C2 00 C1 {C2}");
  Ed->SetTranslation(TTranslationType::ttEBCDIC);
  // The first search cannot run (no room behind the caret), yet the stored
  // pattern is the document's bytes, so Find Next finds the text.
  EXPECT_EQ(Find("tAB"), O::soFindNotFound);
  EXPECT_EQ(*S.SearchPattern, (Bytes{0xC1, 0xC2}));
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soFound);
  EXPECT_EQ(State(), "[C1 {C2}] 00 C1 C2");
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soFound);
  EXPECT_EQ(State(), "C1 C2 00 [C1 {C2}]");
  Ed->SetTranslation(TTranslationType::ttAnsi);
  Set("{41} 62 43");
  EXPECT_EQ(Find("TaBc"), O::soFound);
  EXPECT_EQ(*S.SearchPattern, (Bytes{'a', 'b', 'c'}));
  EXPECT_TRUE(S.SearchIgnoreCase);
}

TEST_F(SearchCommands, ReplaceOnceAndReplaceAll) {
  struct Row {
    const char* doc;
    const char* typed;
    const char* by;
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
      {"{41} 00 41", "41", "AA", true, O::soReplacedAll, 2, "41 41 00 [{41} 41]"},  // ends
      {"{41} 00 41", "41", "", true, O::soReplacedAll, 2, "{00}"},
      {"41 {00} 41 41", "tA", "xA", true, O::soReplacedAll, 2, "41 00 78 41 [{78} 41]"},
      {"{00} 11 22 33", "11 22", "", true, O::soReplacedAll, 1, "00 {33}"},
      {"{00}", "41", "B", true, O::soFindNotFound, 0, "{00}"},
      {"41 {00}", "41", "B", true, O::soFindNotFound, 0, "41 {00}"},  // only from the caret on
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.doc) + " / " + r.typed + " / " + r.by + (r.all ? " all" : ""));
    Set(r.doc);
    const TSearchResult result = Replace(r.typed, r.by, r.all);
    EXPECT_EQ(result.Outcome, r.outcome);
    EXPECT_EQ(result.Count, r.count);
    EXPECT_EQ(State(), r.after);
    if (r.all) EXPECT_EQ(S.LastFoundPos, -1);
  }
}

TEST_F(SearchCommands, EmptyDocumentDoesNothing) {
  Set("");
  EXPECT_FALSE(BeginSearchCommand(S, *Ed));
  EXPECT_EQ(FindCommand(S, *Ed, "41").Outcome, O::soSilent);
  EXPECT_EQ(FindNextCommand(S, *Ed).Outcome, O::soSilent);
  EXPECT_EQ(ReplaceCommand(S, *Ed, "41", "B", true).Outcome, O::soSilent);
  EXPECT_EQ(GotoCommand(*Ed, "0").Outcome, O::soSilent);
  JumpCommand(S, *Ed, true);
  EXPECT_EQ(Ed->DataSize(), 0);
}

TEST_F(SearchCommands, GotoTakesDecimalDollarAndZeroX) {
  struct Row {
    const char* typed;
    O outcome;
    int32_t caret;
  } rows[] = {
      {"$10", O::soFound, 16},          {"0x10", O::soFound, 16},        {"0X1f", O::soFound, 31},
      {"16", O::soFound, 16},           {"  7", O::soFound, 7},          {"", O::soSilent, 5},
      {"-1", O::soInvalidPosition, 5},  {"abc", O::soInvalidPosition, 5}, {"10 ", O::soInvalidPosition, 5},
      {" 0x10", O::soInvalidPosition, 5}, {"32", O::soInvalidPosition, 5}, {"$FFFFFFFF", O::soInvalidPosition, 5},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.typed);
    Load(Pattern(32));
    Ed->SetSelStart(5);
    Ed->SetSelEnd(6);
    EXPECT_EQ(GotoCommand(*Ed, r.typed).Outcome, r.outcome);
    EXPECT_EQ(Ed->GetCursorPos(), r.caret);
    EXPECT_EQ(Ed->SelAnchor() == -1, r.outcome == O::soFound);
  }
}

TEST_F(SearchCommands, JumpsByTheAmountAndStopAtTheEnds) {
  Load(Pattern(100));
  EXPECT_EQ(JumpAmountText(S), "256");
  struct Row {
    const char* amount;
    bool accepted;
    int32_t from;
    bool forward;
    int32_t to;
  } rows[] = {
      {"", false, 10, true, 99},  // the amount stays 256
      {"abc", false, 10, false, 0},
      {"0x10", false, 10, true, 99},  // no "0x" rule here
      {"$10", true, 10, true, 26},
      {"100", true, 50, false, 0},
      {"-5", true, 10, true, 5},
      {"-2147483648", true, 10, false, 99},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.amount);
    EXPECT_EQ(SetJumpAmount(S, r.amount), r.accepted);
    Ed->SetSelStart(r.from);
    JumpCommand(S, *Ed, r.forward);
    EXPECT_EQ(Ed->GetCursorPos(), r.to);
  }
  EXPECT_EQ(JumpAmountText(S), "-2147483648");
}

}  // namespace
}  // namespace byteloom::test
