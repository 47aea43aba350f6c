// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fakehost.h"

namespace byteloom::test {

void TFakeHost::ClearRecords() {
  InvalidateCount = 0;
  RepaintCount = 0;
  InvalidatedRects.clear();
  Scrolls.clear();
  Posted.clear();
  Cursors.clear();
  Locks.clear();
  CaretCalls.clear();
  ScrollChanges = 0;
}

int TFakeHost::DeliverPosted() {
  int n = 0;
  while (!Posted.empty()) {
    TPosted p = Posted.front();
    Posted.pop_front();
    if (Target) Target->HandleMessage(p.Msg, p.WParam, p.LParam);
    ++n;
  }
  return n;
}

TColor TFakeHost::ColorToRGB(TColor c) const {
  if (!IsSystemColor(c)) return c;
  switch (c) {
    case clWindow:
      return clWhite;
    case clWindowText:
      return clBlack;
    case clBtnFace:
      return clSilver;
    default:
      return clGray;
  }
}

}  // namespace byteloom::test
