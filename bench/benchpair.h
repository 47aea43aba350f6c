// SPDX-License-Identifier: GPL-3.0-or-later
// Two views of a document side by side for the painting benchmarks: the
// right one gets a byte changed in every KiB of the MiB from the middle on,
// and the pair, when locked, asks which bytes differ for every painted row.
#pragma once

#include <memory>

#include "compare/sidebyside.h"
#include "control/hexeditor.h"

namespace byteloom::bench {

class TBenchPair {
 public:
  TBenchPair(THexEditor& left, THexEditor& right, bool locked) : FLeft(left), FRight(right) {
    const int32_t middle = left.DataSize() / 2;
    for (int32_t at = middle; at < middle + (1 << 20); at += 1024) {
      right.SetSelStart(at);
      const auto b = static_cast<uint8_t>(right.ReadByte(at) + 1);
      right.ReplaceSelection(&b, 1);
    }
    if (locked) {
      FPair = std::make_unique<TSideBySide>(left, right, 0);
      for (THexEditor* e : {&left, &right})
        e->SetDifferenceMarks([this, e](int64_t pos, int64_t count, uint8_t* out) { FPair->Mark(*e, pos, count, out); });
    }
    left.SetTopRow(middle / left.BytesPerLine());
    right.SetTopRow(left.TopRow());
  }
  ~TBenchPair() {
    for (THexEditor* e : {&FLeft, &FRight}) e->SetDifferenceMarks({});
  }
  TBenchPair(const TBenchPair&) = delete;
  TBenchPair& operator=(const TBenchPair&) = delete;

 private:
  THexEditor& FLeft;
  THexEditor& FRight;
  std::unique_ptr<TSideBySide> FPair;
};

}  // namespace byteloom::bench
