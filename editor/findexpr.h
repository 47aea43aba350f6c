// SPDX-License-Identifier: GPL-3.0-or-later
// Find, Find Next, Replace, Goto and the jumps of the editor window: the
// search expression, the position numbers, the search state all windows
// share, and the commands' steps once their dialog has closed. Nothing here
// shows a message: each command returns an outcome that the window turns
// into its message (SearchMessage gives the text).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control/hexeditor.h"

namespace byteloom {

// A typed search expression: "t..." is text, "T..." text ignoring case,
// anything else hex digits (other characters are skipped; an odd count
// gets a leading 0).
struct TSearchExpression {
  std::vector<uint8_t> Pattern;
  bool Text = false;
  bool IgnoreCase = false;
};
// text: the 8-bit (Windows-1252) bytes of the typed expression, not empty.
TSearchExpression ParseSearchExpression(const std::string& text);

// What a typed search expression means, for a line under its box while it
// is typed: "Bytes: CE" (with the characters that are no hex digits named),
// "Text: 63 6F", "Text ignoring case: 63 6F", or "Not a search expression"
// when nothing would be searched.
std::string DescribeSearchExpression(const std::string& text);
// What Replace puts in the place of each match: "Replaced by 4 bytes: 30 46
// 32 37 (text, taken literally)", or "Replaced by nothing (the matches are
// deleted)".
std::string DescribeReplacement(const std::string& text);

// The state of Find, Find Next, Replace and the jumps: one copy for all
// editor windows, kept by the frame.
class TSearchState {
 public:
  std::string SearchText;                             // the last expression as typed
  std::optional<std::vector<uint8_t>> SearchPattern;  // none before the first search
  int32_t SearchPatternLength = 0;
  bool SearchIgnoreCase = false;
  int64_t LastFoundPos = -1;
  int32_t JumpAmount = 256;

  // A new Find or Replace begins: nothing found yet, the pattern released.
  void Reset();
  // An editor window is closed: Find Next then runs Find.
  void ReleasePattern();
};

// What a command leads to; SearchMessage(result) is the text to show.
enum class TSearchOutcome : uint8_t {
  soSilent,           // nothing to show (empty document, empty box, no pattern)
  soFound,            // the match is selected / the caret moved
  soRunFind,          // Find Next without a pattern: run Find instead
  soFindNotFound,     // message dialog, error kind, OK: "Data not found!"
  soNextNotFound,     // plain message box: "Data not found."
  soReplaceNotFound,  // message dialog, error kind, OK: "Data not Found!"
  soReplacedAll,      // information dialog: Count followed by " Founds replaced!"
  soInvalidPosition,  // ShowErrorBox: "Invalid position"
  soStopped           // the user stopped the search: nothing changed, nothing to show
};
struct TSearchResult {
  TSearchOutcome Outcome = TSearchOutcome::soSilent;
  int64_t Count = 0;  // replacements made by Replace all
};
std::string SearchMessage(const TSearchResult& result);

// Find and Replace, before their dialog: false on an empty document (the
// command ends, the dialog is not shown); otherwise the state starts afresh.
bool BeginSearchCommand(TSearchState& state, THexEditor& editor);
// Find, after its dialog: findText is Edit1's text.
// progress follows the search (and Replace all's work); when it stops the
// search, the selection and the state stay as they were (soStopped).
TSearchResult FindCommand(TSearchState& state, THexEditor& editor, const std::string& findText,
                          const TProgress& progress = {});
// Find Next (no dialog of its own; soRunFind asks the window to run Find).
TSearchResult FindNextCommand(TSearchState& state, THexEditor& editor, const TProgress& progress = {});
// Replace, after its dialog: Edit2, Edit3 (taken literally, one byte per
// character) and CheckBox1. progress reports Replace all's work.
TSearchResult ReplaceCommand(TSearchState& state, THexEditor& editor, const std::string& searchText,
                             const std::string& replacement, bool replaceAll,
                             const TProgress& progress = {});

// A position number as Goto takes it: a leading "0x" (either case) means
// "$", then the integer conversion; nothing when it is not a number.
std::optional<int64_t> ParsePosition(const std::string& text);
// Goto, after its dialog (only shown for a non-empty document): gotoText is
// Edit4's text. The window refreshes the value panel afterwards in any case.
TSearchResult GotoCommand(THexEditor& editor, const std::string& gotoText);

// The text the jump amount's input box starts with.
std::string JumpAmountText(const TSearchState& state);
// The confirmed input box text; false (the amount kept) when it is not a number.
bool SetJumpAmount(TSearchState& state, const std::string& text);
// Jump forward or backward by the amount, stopping at the document's ends.
void JumpCommand(const TSearchState& state, THexEditor& editor, bool forward);

}  // namespace byteloom
