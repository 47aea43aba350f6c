// SPDX-License-Identifier: GPL-3.0-or-later
// A host for the control that records what the control asks of its window,
// measures text as a fixed-pitch font of CharW × CharH pixels and delivers
// posted messages when the test pumps them.
#pragma once

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "control/customgrid.h"

namespace byteloom::test {

struct TPosted {
  uint32_t Msg;
  intptr_t WParam;
  intptr_t LParam;
};

class TFakeHost : public TGridHost {
 public:
  int CharW = 8;
  int CharH = 13;
  bool HasHandle = true;
  bool HasFocus = false;

  // Recorded requests.
  int InvalidateCount = 0;
  int RepaintCount = 0;
  std::vector<TRect> InvalidatedRects;
  struct TScroll {
    int Dx, Dy;
    TRect Area;
    bool operator==(const TScroll&) const = default;
  };
  std::vector<TScroll> Scrolls;
  std::deque<TPosted> Posted;
  std::vector<TCursor> Cursors;
  std::vector<bool> Locks;
  std::vector<std::string> CaretCalls;
  TCaretShape LastCaret;
  TPoint CaretPos{-1, -1};
  int ScrollChanges = 0;

  // The grid that posted messages go to.
  TCustomGrid* Target = nullptr;

  void ClearRecords();
  // Delivers every queued message (also those queued while delivering);
  // returns how many were delivered.
  int DeliverPosted();

  bool HandleAllocated() const override { return HasHandle; }
  bool Focused() const override { return HasFocus; }
  void Invalidate() override { ++InvalidateCount; }
  void InvalidateRect(const TRect& r) override { InvalidatedRects.push_back(r); }
  void Repaint() override { ++RepaintCount; }
  void ScrollRect(int dx, int dy, const TRect& area) override { Scrolls.push_back({dx, dy, area}); }
  void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override {
    Posted.push_back({msg, wParam, lParam});
  }
  void CursorChanged(TCursor c) override { Cursors.push_back(c); }
  int TextWidth(const TFont&, const std::string& text) override { return CharW * static_cast<int>(text.size()); }
  int TextHeight(const TFont&, const std::string&) override { return CharH; }
  void LockUpdate(bool lock) override { Locks.push_back(lock); }
  void CreateCaret(const TCaretShape& shape) override {
    LastCaret = shape;
    CaretCalls.push_back("create");
  }
  void DestroyCaret() override { CaretCalls.push_back("destroy"); }
  void SetCaretPos(int x, int y) override { CaretPos = {x, y}; }
  void ShowCaret() override { CaretCalls.push_back("show"); }
  void HideCaret() override { CaretCalls.push_back("hide"); }
  void ScrollStateChanged() override { ++ScrollChanges; }
  TColor ColorToRGB(TColor c) const override;

  // Keys and mouse buttons held down (virtual key codes), and the drag
  // tracking timer.
  std::set<int> Held;
  bool TrackTimerOn = false;
  bool KeyHeld(int vk) const override { return Held.count(vk) != 0; }
  void SetTrackTimer(bool on) override { TrackTimerOn = on; }
  // The opened file's watch the control asked for (-1: none).
  int WatchedFd = -1;
  void WatchFile(int fd) override { WatchedFd = fd; }
};

}  // namespace byteloom::test
