// SPDX-License-Identifier: GPL-3.0-or-later
// The compare engine: searches two documents, pair by pair from a start
// offset in each, for the first byte that changed in the chosen way, moves
// every window's caret there, and counts the differences per two-hundredth
// of the compared length for the compare-o-meter.
//
// Both documents are read in pieces through a byte source; neither is ever
// held in memory whole. Only differing pairs are examined.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/bytesource.h"
#include "platform/progress.h"

namespace byteloom {

class THexEditor;
class TDocumentList;

// The eight modes, in the order their tests are listed.
enum class TCompareMode : uint8_t {
  cmIncreaseByValue,  // "Value increase by "FValue 1""
  cmDecreaseByValue,  // "Value decrease by "FValue 1""
  cmValuePair,        // "Search for FValue1 and FValue2"
  cmIncrease,         // "Value increase"
  cmDecrease,         // "Value decrease"
  cmDecreaseBy1,      // "Value decrease by 1"
  cmIncreaseBy1,      // "Value increase by 1"
  cmSimple,           // "simple search"
};

// Whether the differing pair a (file 1) -> b (file 2) is what mode looks
// for; whole numbers, no wrap-around.
bool DifferenceMatches(TCompareMode mode, uint8_t a, uint8_t b, uint8_t value1, uint8_t value2);

// Whether mode looks at FValue 1 (value 1) or FValue 2 (value 2).
bool ModeUsesValue(TCompareMode mode, int value);

// The compare-o-meter counters: differences per two-hundredth of the length.
constexpr int kMeterBucketCount = 201;
using TMeterBuckets = std::array<int64_t, kMeterBucketCount>;
// The counter of pair i of n: i / (n * 0.5) * 100, to the nearest integer,
// halves to the even neighbour.
int MeterBucket(int64_t pair, int64_t count);
// The meter picture's rows (198 of them) that show red: counter k on row k,
// but counter 0 on the first row and counters 198 to 200 on the last, so
// that no difference is hidden.
constexpr int kMeterRows = 198;
std::array<bool, kMeterRows> MeterRedRows(const TMeterBuckets& buckets);

// Number of pairs compared: min(size1, size2) - max(start1, start2) (may be
// zero or less: nothing is compared).
int64_t PairCount(int64_t size1, int64_t size2, int64_t start1, int64_t start2);

struct TScanRequest {
  int64_t Start1 = 0;
  int64_t Start2 = 0;
  TCompareMode Mode = TCompareMode::cmSimple;
  uint8_t Value1 = 2;
  uint8_t Value2 = 1;
  bool Meter = false;  // count every difference instead of stopping at a match
};

struct TScanOutcome {
  bool Found = false;
  bool Cancelled = false;
  int64_t Pair = -1;  // the matching pair (offsets Start1 + Pair, Start2 + Pair)
};

// Bytes read from each document per piece.
constexpr int32_t kComparePieceSize = 256 * 1024;

// Scans the pairs of file1 and file2; a meter scan adds every difference to
// buckets (which it does not clear). progress follows every piece with the
// pairs done and the pairs in all; false cancels the run.
TScanOutcome ScanDifferences(TByteSource& file1, TByteSource& file2, const TScanRequest& request,
                             TMeterBuckets& buckets, const TProgress& progress = {});

// What the dialog's fields hold when a run starts.
struct TCompareFields {
  std::string File1, File2;               // "k : caption"
  std::string Start1 = "0", Start2 = "0";  // start offsets as typed
  std::string Value1 = "2", Value2 = "1";  // FValue 1 and FValue 2 as typed
  TCompareMode Mode = TCompareMode::cmSimple;
};

struct TCompareHooks {
  // Shows a warning (OK button) and returns when it is dismissed.
  std::function<void(const std::string&)> Warning;
  // Called once just before the pairs are read (the status line shows).
  std::function<void()> Scanning;
  // Called once the pairs have been read, before the results are reported.
  std::function<void()> Scanned;
  TProgress Progress;
};

struct TCompareOutcome {
  bool Compared = false;  // the file choice was valid and the pairs were read
  bool Found = false;
  bool Cancelled = false;
  int64_t Offset = -1;  // the found offset in file 1 (where the carets went)
};

// Two documents of the file choice and how far apart their start offsets are.
struct TPairChoice {
  int Index1 = -1, Index2 = -1;
  int64_t Shift = 0;  // start2 - start1 (0 where an offset does not convert)
};

// Moves the caret of every document, last index first, to offset; a window
// whose document does not reach that far gets the warning
// "Error while setting Cursor to:" and the offset.
void ReportDifference(TDocumentList& documents, int64_t offset, const std::function<void(const std::string&)>& warning);

// The state of the compare for the whole program and its runs.
class TCompareEngine {
 public:
  // True while a run was started by Compare again.
  bool CompareAgainMode = false;
  // The counts of the last compare-o-meter run (cleared by every run).
  TMeterBuckets MeterBuckets{};

  // The file choice entries "k : caption", last index first. The documents
  // listed are remembered: an entry keeps naming its document for Compare
  // again even when the windows' order has changed since.
  std::vector<std::string> ListDocuments(const TDocumentList& documents);
  // The start offset text for both files on "Start from Cursor": the caret
  // of the active document (empty when there is none).
  static std::string CursorOffset(TDocumentList& documents);
  // The start offsets for Compare again: one byte after the active caret in
  // file 1, and as far from it in file 2 as the last run's offsets were.
  std::pair<std::string, std::string> AgainOffsets(TDocumentList& documents) const;

  // One run: checks the fields (warnings through hooks; a value the mode
  // uses that is no byte value, 0 to 255, refuses the run), reads both
  // documents, and moves the carets to the first match (a search) or fills
  // MeterBuckets (meter = true).
  TCompareOutcome Run(TDocumentList& documents, const TCompareFields& fields, bool meter, const TCompareHooks& hooks);
  // The documents the fields name; nothing, after the warning "Please
  // choose 2 different Files!", when they do not name two.
  std::optional<TPairChoice> ChoosePair(const TDocumentList& documents, const TCompareFields& fields,
                                        const std::function<void(const std::string&)>& warn) const;

 private:
  // The document index an entry names now, or -1.
  int ResolveChoice(const TDocumentList& documents, const std::string& text) const;

  std::vector<uint64_t> FListed;  // the controls' serial numbers by entry number
  uint8_t FValue1 = 2, FValue2 = 1;        // the values held (the last that converted)
  int64_t FShift = 0;                      // start2 - start1 of the last search
};

}  // namespace byteloom
