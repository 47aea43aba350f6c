// SPDX-License-Identifier: GPL-3.0-or-later
// The compare engine. Both documents are read piece by piece into two
// buffers of kComparePieceSize bytes; equal pieces are passed over with one
// memcmp, and within a piece that differs the differing pairs are found
// eight bytes at a time. The pairs reach the mode test in increasing order,
// so the first match is the one a byte-by-byte loop over whole copies finds.
#include "compare/compareengine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "control/documents.h"
#include "control/hexeditor.h"
#include "platform/numconv.h"

namespace byteloom {

bool DifferenceMatches(TCompareMode mode, uint8_t a, uint8_t b, uint8_t value1, uint8_t value2) {
  const int x = a, y = b;
  switch (mode) {
    case TCompareMode::cmIncreaseByValue: return x + value1 == y;
    case TCompareMode::cmDecreaseByValue: return x - value1 == y;
    case TCompareMode::cmValuePair: return x == value1 && y == value2;
    case TCompareMode::cmIncrease: return x < y;
    case TCompareMode::cmDecrease: return x > y;
    case TCompareMode::cmDecreaseBy1: return x == y + 1;
    case TCompareMode::cmIncreaseBy1: return x + 1 == y;
    case TCompareMode::cmSimple: return x != y;
  }
  return false;
}

bool ModeUsesValue(TCompareMode mode, int value) {
  return mode == TCompareMode::cmValuePair ||
         (value == 1 && (mode == TCompareMode::cmIncreaseByValue || mode == TCompareMode::cmDecreaseByValue));
}

int MeterBucket(int64_t pair, int64_t count) {
  // nearbyint rounds halves to the even neighbour in the default rounding mode.
  const double scaled = static_cast<double>(pair) / (static_cast<double>(count) * 0.5) * 100.0;
  return static_cast<int>(std::clamp(std::nearbyint(scaled), 0.0, double{kMeterBucketCount - 1}));
}

std::array<bool, kMeterRows> MeterRedRows(const TMeterBuckets& buckets) {
  std::array<bool, kMeterRows> rows{};
  for (int k = 0; k < kMeterBucketCount; ++k)
    if (buckets[static_cast<size_t>(k)] > 0) rows[static_cast<size_t>(std::min(k, kMeterRows - 1))] = true;
  return rows;
}

int64_t PairCount(int64_t size1, int64_t size2, int64_t start1, int64_t start2) {
  return std::min(size1, size2) - std::max(start1, start2);
}

namespace {

// The first j in [from, end) with a[j] != b[j], or end.
int32_t FirstDifference(const uint8_t* a, const uint8_t* b, int32_t from, int32_t end) {
  int32_t j = from;
  if constexpr (std::endian::native == std::endian::little) {
    for (; j + 8 <= end; j += 8) {
      uint64_t x, y;
      std::memcpy(&x, a + j, 8);
      std::memcpy(&y, b + j, 8);
      if (x != y) return j + std::countr_zero(x ^ y) / 8;
    }
  }
  while (j < end && a[j] == b[j]) ++j;
  return j;
}

}  // namespace

TScanOutcome ScanDifferences(TByteSource& file1, TByteSource& file2, const TScanRequest& request,
                             TMeterBuckets& buckets, const TProgress& progress) {
  TScanOutcome outcome;
  const int64_t n = PairCount(file1.Size(), file2.Size(), request.Start1, request.Start2);
  if (n <= 0 || request.Start1 < 0 || request.Start2 < 0) return outcome;
  TPieceReader one(file1, request.Start1, request.Start1 + n, 0, kComparePieceSize);
  TPieceReader two(file2, request.Start2, request.Start2 + n, 0, kComparePieceSize);
  while (one.Next() && two.Next()) {
    const int64_t done = one.Pos() - request.Start1;
    const auto len = static_cast<int32_t>(one.Size());
    const uint8_t* a = one.Data();
    const uint8_t* b = two.Data();
    if (std::memcmp(a, b, static_cast<size_t>(len)) != 0) {
      for (int32_t j = FirstDifference(a, b, 0, len); j < len; j = FirstDifference(a, b, j + 1, len)) {
        if (request.Meter) {
          ++buckets[static_cast<size_t>(MeterBucket(done + j, n))];
        } else if (DifferenceMatches(request.Mode, a[j], b[j], request.Value1, request.Value2)) {
          outcome.Found = true;
          outcome.Pair = done + j;
          return outcome;
        }
      }
    }
    if (!one.Last() && progress && !progress(done + len, n)) {
      outcome.Cancelled = true;
      return outcome;
    }
  }
  return outcome;
}

void ReportDifference(TDocumentList& documents, int64_t offset,
                      const std::function<void(const std::string&)>& warning) {
  for (int k = documents.DocumentCount() - 1; k >= 0; --k)
    if (!documents.DocumentEditor(k).Seek(offset, 0, true) && warning)
      warning("Error while setting Cursor to:" + std::to_string(offset));
}

std::vector<std::string> TCompareEngine::ListDocuments(const TDocumentList& documents) {
  const int count = documents.DocumentCount();
  FListed.assign(static_cast<size_t>(count), 0);
  std::vector<std::string> entries;
  for (int k = count - 1; k >= 0; --k) {
    FListed[static_cast<size_t>(k)] = documents.DocumentEditor(k).Serial();
    entries.push_back(std::to_string(k) + " : " + documents.DocumentCaption(k));
  }
  return entries;
}

std::string TCompareEngine::CursorOffset(TDocumentList& documents) {
  const int active = documents.ActiveDocument();
  return active < 0 ? std::string("0") : std::to_string(documents.DocumentEditor(active).GetCursorPos());
}

std::pair<std::string, std::string> TCompareEngine::AgainOffsets(TDocumentList& documents) const {
  const int active = documents.ActiveDocument();
  int64_t start1 = active < 0 ? 0 : int64_t{documents.DocumentEditor(active).GetCursorPos()} + 1;
  int64_t start2 = start1 + FShift;
  // Both move on together when file 2's offset would fall before its start.
  if (start2 < 0) {
    start1 -= start2;
    start2 = 0;
  }
  return {std::to_string(start1), std::to_string(start2)};
}

int TCompareEngine::ResolveChoice(const TDocumentList& documents, const std::string& text) const {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 9) return -1;
  const auto entry = static_cast<size_t>(std::stoi(text.substr(0, digits)));
  if (entry >= FListed.size()) return -1;
  for (int k = 0; k < documents.DocumentCount(); ++k)
    if (documents.DocumentEditor(k).Serial() == FListed[entry]) return k;
  return -1;
}

std::optional<TPairChoice> TCompareEngine::ChoosePair(const TDocumentList& documents, const TCompareFields& fields,
                                                      const std::function<void(const std::string&)>& warn) const {
  TPairChoice pair{ResolveChoice(documents, fields.File1), ResolveChoice(documents, fields.File2)};
  if (pair.Index1 < 0 || pair.Index2 < 0 || pair.Index1 == pair.Index2) {
    if (warn) warn("Please choose 2 different Files!");
    return std::nullopt;
  }
  const std::optional<int64_t> start1 = TryStrToInt64(fields.Start1), start2 = TryStrToInt64(fields.Start2);
  if (start1 && start2 && __builtin_sub_overflow(*start2, *start1, &pair.Shift)) pair.Shift = 0;
  return pair;
}

TCompareOutcome TCompareEngine::Run(TDocumentList& documents, const TCompareFields& fields, bool meter,
                                    const TCompareHooks& hooks) {
  const auto warn = [&hooks](const std::string& text) {
    if (hooks.Warning) hooks.Warning(text);
  };
  TCompareOutcome outcome;
  MeterBuckets.fill(0);
  const std::optional<TPairChoice> pair = ChoosePair(documents, fields, warn);
  if (!pair) return outcome;
  const int index1 = pair->Index1, index2 = pair->Index2;

  // A value the mode uses must be a byte's: 263 is never taken for 7.
  const std::optional<int32_t> values[] = {TryStrToInt(fields.Value1), TryStrToInt(fields.Value2)};
  const auto isByte = [](const std::optional<int32_t>& v) { return v && *v >= 0 && *v <= 255; };
  for (int k = 0; k < 2 && !meter; ++k) {
    if (values[k] && !isByte(values[k]) && ModeUsesValue(fields.Mode, k + 1)) {
      warn("FValue " + std::to_string(k + 1) + " = " + std::to_string(*values[k]) +
           " is not a byte value (0 to 255); nothing was compared.");
      return outcome;
    }
  }

  TScanRequest request;
  request.Mode = fields.Mode;
  request.Meter = meter;
  const std::optional<int64_t> start1 = TryStrToInt64(fields.Start1), start2 = TryStrToInt64(fields.Start2);
  if (!start1 || !start2 || *start1 < 0 || *start2 < 0) {
    warn("Error while converting Startpos. Editor uses 0 for both Files");
  } else if (!meter) {
    request.Start1 = *start1;
    request.Start2 = *start2;
  }
  // Only byte values are held for a later run whose field does not convert.
  if (isByte(values[0])) FValue1 = static_cast<uint8_t>(*values[0]);
  if (isByte(values[1])) FValue2 = static_cast<uint8_t>(*values[1]);
  if (!values[0] || !values[1]) warn("Error while converting FValue 1 or 2.");
  request.Value1 = FValue1;
  request.Value2 = FValue2;

  TEditorSource file1(documents.DocumentEditor(index1)), file2(documents.DocumentEditor(index2));
  if (!meter && !CompareAgainMode && file1.Size() != file2.Size()) warn("Filesize different!\n\rResult can be wrong!");
  if (hooks.Scanning) hooks.Scanning();
  const TScanOutcome scan = ScanDifferences(file1, file2, request, MeterBuckets, hooks.Progress);
  if (hooks.Scanned) hooks.Scanned();
  outcome.Compared = true;
  if (!meter) FShift = int64_t{request.Start2} - request.Start1;
  if (scan.Cancelled) {
    // A cancelled run counts as one that found nothing.
    MeterBuckets.fill(0);
    outcome.Cancelled = true;
  } else if (scan.Found) {
    outcome.Found = true;
    outcome.Offset = request.Start1 + scan.Pair;
    ReportDifference(documents, outcome.Offset, warn);
  } else if (!meter) {
    warn("No differences found!");
  }
  return outcome;
}

}  // namespace byteloom
