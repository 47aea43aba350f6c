// SPDX-License-Identifier: GPL-3.0-or-later
// Two editor windows locked side by side: the frame owns one
// TSideBySideView, which puts the windows next to each other, keeps them in
// step (TSideBySide), paints their differences through the controls'
// difference marks, sums them up in the background and shows where they lie
// in an overview strip beside each window's control.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "compare/sidebyside.h"
#include "control/hexeditor.h"

class QAction;
class QCheckBox;
class QComboBox;
class QMdiArea;
class QPushButton;

namespace byteloom {

class TDocumentList;
class TDocumentWindow;

// The narrow strip beside a locked window's control: red where the pair
// differs over the whole document, a frame round the part in view; a click
// or a drag jumps there.
class TOverviewStrip : public QWidget {
 public:
  explicit TOverviewStrip(QWidget* parent = nullptr);

  // The positions the strip stands for, the busy buckets and the part in
  // view (left coordinates).
  void Show(int64_t first, int64_t last, const std::vector<int64_t>& buckets, std::pair<int64_t, int64_t> visible);
  TOverviewMap Map() const { return {FFirst, FLast, height()}; }
  // A click at pixel row y: the position it stands for.
  std::function<void(int64_t pos)> OnJump;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  int64_t FFirst = 0, FLast = 0;
  std::vector<int64_t> FBuckets;
  std::pair<int64_t, int64_t> FVisible{0, 0};
};

// Tools > Compare side by side...: the two documents to lock, the active
// one first.
class TSideBySideChoice : public QDialog {
 public:
  explicit TSideBySideChoice(QWidget* parent = nullptr);
  // Lists the open documents; the active one is chosen first, the next second.
  void Prepare(const TDocumentList& documents);
  // The chosen document indexes.
  int First() const;
  int Second() const;
  // Whether the pair is aligned across insertions and deletions (else at one fixed shift).
  bool FindInsertions() const;

  QComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QPushButton *BitBtn1 = nullptr, *BitBtn2 = nullptr;
};

class TSideBySideView : public QObject {
 public:
  // status shows a text in the frame's status line.
  TSideBySideView(QMdiArea& area, std::function<void(const QString&)> status);
  ~TSideBySideView() override;

  bool Locked() const { return FPair != nullptr; }
  TSideBySide* Pair() const { return FPair.get(); }
  TDocumentWindow* Window(int side) const { return FWindow[side]; }
  TOverviewStrip* Strip(int side) const { return FStrip[side]; }
  // The background summary: complete, and its counts.
  bool Counted() const { return FRun && FRun->Complete(); }
  const TDiffSummary* Counts() const { return Counted() ? &FRun->Summary() : nullptr; }

  // Puts both windows side by side, each half the client area, and locks
  // them with the given shift (the pair locked before ends); with
  // insertions, aligned across insertions and deletions instead (the fixed
  // shift when the user stops the alignment).
  void Lock(TDocumentWindow& left, TDocumentWindow& right, int64_t shift = 0, bool insertions = false);
  // Ends the pairing: captions, colours and strips as before.
  void Unlock();
  // F7 / Shift+F7 from the active window of the pair; false when there is none.
  bool NextDifference(bool forward);
  // The bytes under both carets line up (the active window's view leads).
  void AlignHere();
  // What the status line says about Align here while its item is pointed at.
  static QString AlignHint();
  // The colour differing bytes are painted in.
  void SetDifferenceColor(TColor color);
  // Runs what is posted (a sync, the background summary) until nothing is.
  void Settle();

  // Called after Lock and Unlock (the frame enables its items).
  std::function<void()> OnLockChanged;

  // Positions read per step of the background summary.
  static inline int64_t SliceSize = int64_t{8} << 20;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int SideOf(const QObject* watched) const;
  // The side of the active window (the left one when neither is active).
  THexEditor& ActiveSide() const;
  // A sync after the events of this round (lead: the side they came from).
  void PostSync(int lead);
  void Sync();
  // Captions and strips; both controls repainted too (their differences changed).
  void Refresh(bool repaint = false);
  void RestartSummary();
  void SummaryStep();
  // Ends the pairing; gone is the side whose window is going (-1: none),
  // which is not touched any more.
  void Release(int gone);

  QMdiArea& FArea;
  std::function<void(const QString&)> FStatus;
  std::unique_ptr<TSideBySide> FPair;
  QPointer<TDocumentWindow> FWindow[2];
  QPointer<TOverviewStrip> FStrip[2];
  std::function<void(THexEditor&)> FOldStateChanged[2];
  QPointer<QAction> FMenuItems[2][2];  // a separator and "Align here" in each window's context menu
  std::vector<QMetaObject::Connection> FConnections;
  std::unique_ptr<TDiffSummaryRun> FRun;
  QTimer FSummaryTimer;
  bool FSyncPosted = false;
  int FLead = -1;
  bool FAlone = false;  // Alt was held: the sync moves one side alone
  TColor FDifferenceColor = TColors::kDefaultDifference;
};

}  // namespace byteloom
