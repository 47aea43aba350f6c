// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/findexpr.h"

#include <limits>

#include "control/translation.h"
#include "platform/codepages.h"
#include "platform/numconv.h"

namespace byteloom {

namespace {

// Steps 4 to 6 of Find and Replace: the expression becomes the state's
// pattern, already as the document holds it (translated when it is text,
// lower-cased when case is ignored), so every later search takes it as it
// is, also when the first search could not run. False: nothing to search.
bool StorePattern(TSearchState& state, THexEditor& editor, const std::string& text) {
  if (text.empty()) return false;
  state.SearchText = text;
  TSearchExpression e = ParseSearchExpression(text);
  if (e.Pattern.empty()) return false;
  const int count = static_cast<int>(e.Pattern.size());
  if (e.Text) TranslateToFile(editor.Translation(), e.Pattern.data(), e.Pattern.data(), count);
  if (e.IgnoreCase) AnsiLowerBuffer(e.Pattern.data(), count);
  state.SearchPatternLength = count;
  state.SearchIgnoreCase = e.IgnoreCase;
  state.SearchPattern = std::move(e.Pattern);
  return true;
}

// Searches with the state's pattern from `from` to the end; LastFoundPos
// becomes the result, unless the search was stopped (kFindStopped then).
int64_t SearchFrom(TSearchState& state, THexEditor& editor, int64_t from, const TProgress& progress) {
  const int64_t found = editor.Find(state.SearchPattern->data(), state.SearchPatternLength, false,
                                    state.SearchIgnoreCase, editor.DataSize() - 1, from, progress);
  if (found != THexEditor::kFindStopped) state.LastFoundPos = found;
  return found;
}

TSearchResult SelectFound(TSearchState& state, THexEditor& editor, int64_t found, TSearchOutcome notFound) {
  if (found == THexEditor::kFindStopped) return {TSearchOutcome::soStopped};
  if (state.LastFoundPos < 0) return {notFound};
  editor.SelectMatch(state.LastFoundPos, state.SearchPatternLength);
  return {TSearchOutcome::soFound};
}

}  // namespace

namespace {

// "30 46 32 37", the first 16 bytes and "…" for more.
std::string ByteList(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < 16; ++i) {
    if (i) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  if (bytes.size() > 16) out += " ...";
  return out;
}

}  // namespace

std::string DescribeSearchExpression(const std::string& text) {
  if (text.empty()) return "Not a search expression";
  const TSearchExpression e = ParseSearchExpression(text);
  if (e.Pattern.empty()) return "Not a search expression";
  if (e.Text) return std::string(e.IgnoreCase ? "Text ignoring case: " : "Text: ") + ByteList(e.Pattern);
  std::string skipped;
  for (char c : text)
    if (HexDigit(c) < 0 && c != ' ' && skipped.find(c) == std::string::npos) skipped += c;
  std::string line = "Bytes: " + ByteList(e.Pattern);
  if (!skipped.empty()) line += " (not hex digits, skipped: " + skipped + ")";
  return line;
}

std::string DescribeReplacement(const std::string& text) {
  if (text.empty()) return "Replaced by nothing (the matches are deleted)";
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  return "Replaced by " + std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte: " : " bytes: ") +
         ByteList(bytes) + " (text, taken literally)";
}

TSearchExpression ParseSearchExpression(const std::string& text) {
  TSearchExpression e;
  if (!text.empty() && (text[0] == 't' || text[0] == 'T')) {
    e.Text = true;
    e.IgnoreCase = text[0] == 'T';
    e.Pattern.assign(text.begin() + 1, text.end());
    return e;
  }
  std::string digits;
  for (char c : text)
    if (HexDigit(c) >= 0) digits += c;
  if (digits.size() % 2 != 0) digits.insert(digits.begin(), '0');
  for (size_t i = 0; i < digits.size(); i += 2)
    e.Pattern.push_back(static_cast<uint8_t>(HexDigit(digits[i]) << 4 | HexDigit(digits[i + 1])));
  return e;
}

void TSearchState::Reset() {
  LastFoundPos = -1;
  SearchIgnoreCase = false;
  ReleasePattern();
}

void TSearchState::ReleasePattern() {
  SearchPattern.reset();
  SearchPatternLength = 0;
}

std::string SearchMessage(const TSearchResult& result) {
  switch (result.Outcome) {
    case TSearchOutcome::soFindNotFound:
      return "Data not found!";
    case TSearchOutcome::soNextNotFound:
      return "Data not found.";
    case TSearchOutcome::soReplaceNotFound:
      return "Data not Found!";
    case TSearchOutcome::soReplacedAll:
      return std::to_string(result.Count) + " Founds replaced!";
    case TSearchOutcome::soInvalidPosition:
      return "Invalid position";
    default:
      return {};
  }
}

bool BeginSearchCommand(TSearchState& state, THexEditor& editor) {
  if (editor.DataSize() == 0) return false;
  state.Reset();
  return true;
}

TSearchResult FindCommand(TSearchState& state, THexEditor& editor, const std::string& findText,
                          const TProgress& progress) {
  if (editor.DataSize() == 0 || !StorePattern(state, editor, findText)) return {};
  const int64_t found = SearchFrom(state, editor, editor.GetCursorPos(), progress);
  return SelectFound(state, editor, found, TSearchOutcome::soFindNotFound);
}

TSearchResult FindNextCommand(TSearchState& state, THexEditor& editor, const TProgress& progress) {
  if (editor.DataSize() == 0) return {};
  if (!state.SearchPattern) return {TSearchOutcome::soRunFind};
  // While the match found last is still selected, the search goes on behind
  // its first byte; otherwise it starts at that match again.
  const int64_t last = state.LastFoundPos;
  const int64_t from = editor.SelEnd() == last ? last + 1 : last == -1 ? 0 : last;
  const int64_t found = SearchFrom(state, editor, from, progress);
  return SelectFound(state, editor, found, TSearchOutcome::soNextNotFound);
}

TSearchResult ReplaceCommand(TSearchState& state, THexEditor& editor, const std::string& searchText,
                             const std::string& replacement, bool replaceAll,
                             const TProgress& progress) {
  if (editor.DataSize() == 0 || !StorePattern(state, editor, searchText)) return {};
  const auto* r = reinterpret_cast<const uint8_t*>(replacement.data());
  const auto n = static_cast<int32_t>(replacement.size());
  const int64_t m = SearchFrom(state, editor, editor.GetCursorPos(), progress);
  if (m == THexEditor::kFindStopped) return {TSearchOutcome::soStopped};
  if (!replaceAll) {
    if (m < 0) return {TSearchOutcome::soReplaceNotFound};
    editor.ReplaceMatch(m, state.SearchPatternLength, r, n);
    return {TSearchOutcome::soFound};
  }
  if (m < 0) return {TSearchOutcome::soFindNotFound};
  const int64_t count = editor.ReplaceAll(state.SearchPattern->data(), state.SearchPatternLength,
                                          state.SearchIgnoreCase, state.LastFoundPos, r, n, progress);
  state.LastFoundPos = -1;  // the search after the last replacement found nothing
  return {TSearchOutcome::soReplacedAll, count};
}

std::optional<int64_t> ParsePosition(const std::string& text) { return TryStrToInt64(HexPrefixToDollar(text)); }

TSearchResult GotoCommand(THexEditor& editor, const std::string& gotoText) {
  if (editor.DataSize() == 0 || gotoText.empty()) return {};
  // In live memory the number is an address.
  std::optional<int64_t> pos = ParsePosition(gotoText);
  if (pos && editor.IsLive()) pos = *pos >= 0 ? editor.PosOfAddress(static_cast<uint64_t>(*pos)) : std::nullopt;
  if (!editor.Seek(pos.value_or(-1), 0, true)) return {TSearchOutcome::soInvalidPosition};
  return {TSearchOutcome::soFound};
}

std::string JumpAmountText(const TSearchState& state) { return std::to_string(state.JumpAmount); }

bool SetJumpAmount(TSearchState& state, const std::string& text) {
  const auto value = TryStrToInt(text);
  if (value) state.JumpAmount = *value;
  return value.has_value();
}

void JumpCommand(const TSearchState& state, THexEditor& editor, bool forward) {
  // The backward step of the most negative amount does not fit 32 bits.
  editor.Seek(forward ? int64_t{state.JumpAmount} : -int64_t{state.JumpAmount}, 1, false);
}

}  // namespace byteloom
