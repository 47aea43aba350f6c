// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/ui/sidebysideview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include "compare/aligner.h"
#include "control/documents.h"
#include "ui/dialogservice.h"
#include "ui/docwindow.h"
#include "ui/progress.h"
#include "ui/qhexeditor.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

// ---------------------------------------------------------------------------
// The overview strip
// ---------------------------------------------------------------------------

TOverviewStrip::TOverviewStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Overview1"));
  setFixedWidth(12);
  setCursor(Qt::PointingHandCursor);
  setToolTip(QStringLiteral("Where the documents differ; click to go there"));
}

void TOverviewStrip::Show(int64_t first, int64_t last, const std::vector<int64_t>& buckets,
                          std::pair<int64_t, int64_t> visible) {
  FFirst = first;
  FLast = last;
  FBuckets = buckets;
  FVisible = visible;
  update();
}

void TOverviewStrip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  const TOverviewMap map = Map();
  const std::vector<uint8_t> rows = map.Rows(FBuckets);
  for (int y = 0; y < static_cast<int>(rows.size()); ++y)
    if (rows[static_cast<size_t>(y)]) p.fillRect(1, y, width() - 2, 1, QColor(255, 0, 0));
  const int top = map.RowOf(FVisible.first), bottom = map.RowOf(FVisible.second - 1);
  p.setPen(QColor(0, 0, 128));
  p.drawRect(0, top, width() - 1, std::max(bottom - top, 2));
}

void TOverviewStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnJump) Guarded([&] { OnJump(Map().PositionAt(event->position().toPoint().y())); });
}

void TOverviewStrip::mouseMoveEvent(QMouseEvent* event) {
  if ((event->buttons() & Qt::LeftButton) && OnJump) Guarded([&] { OnJump(Map().PositionAt(event->position().toPoint().y())); });
}

// ---------------------------------------------------------------------------
// The choice of two documents
// ---------------------------------------------------------------------------

TSideBySideChoice::TSideBySideChoice(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SideBySideChoice"));
  setWindowTitle(QStringLiteral("Compare side by side"));
  setFixedSize(376, 146);
  Label(this, "Label1", QStringLiteral("Left:"), 8, 12, 40, 17);
  Label(this, "Label2", QStringLiteral("Right:"), 8, 42, 40, 17);
  ComboBox1 = new QComboBox(this);
  ComboBox2 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
  ComboBox1->setGeometry(56, 8, 312, 22);
  ComboBox2->setGeometry(56, 38, 312, 22);
  CheckBox1 = new QCheckBox(QStringLiteral("Find &insertions"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox1->setGeometry(56, 70, 312, 20);
  CheckBox1->setChecked(true);
  CheckBox1->setToolTip(QStringLiteral("Lines up the bytes after an insertion or a deletion; off: one fixed shift"));
  BitBtn1 = Button(this, "BitBtn1", QStringLiteral("OK"), 176, 108, 92, 27);
  BitBtn1->setDefault(true);
  BitBtn2 = Button(this, "BitBtn2", QStringLiteral("Abbrechen"), 276, 108, 92, 27);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TSideBySideChoice::Prepare(const TDocumentList& documents) {
  const int count = documents.DocumentCount();
  const int active = std::max(documents.ActiveDocument(), 0);
  for (QComboBox* box : {ComboBox1, ComboBox2}) {
    box->clear();
    for (int k = 0; k < count; ++k) box->addItem(QString::fromStdString(documents.DocumentCaption(k)), k);
  }
  ComboBox1->setCurrentIndex(active);
  ComboBox2->setCurrentIndex(count > 1 ? (active + 1) % count : active);
}

int TSideBySideChoice::First() const { return ComboBox1->currentData().toInt(); }
int TSideBySideChoice::Second() const { return ComboBox2->currentData().toInt(); }
bool TSideBySideChoice::FindInsertions() const { return CheckBox1->isChecked(); }

// ---------------------------------------------------------------------------
// The locked pair
// ---------------------------------------------------------------------------

TSideBySideView::TSideBySideView(QMdiArea& area, std::function<void(const QString&)> status)
    : QObject(&area), FArea(area), FStatus(std::move(status)) {
  FSummaryTimer.setInterval(0);
  connect(&FSummaryTimer, &QTimer::timeout, this, [this] { Guarded([this] { SummaryStep(); }); });
}

TSideBySideView::~TSideBySideView() { Release(-1); }

int TSideBySideView::SideOf(const QObject* watched) const {
  for (int side = 0; side < 2; ++side)
    if (FWindow[side] && (watched == &FWindow[side]->HexWidget() || watched == FWindow[side]->HexWidget().viewport()))
      return side;
  return -1;
}

void TSideBySideView::Lock(TDocumentWindow& left, TDocumentWindow& right, int64_t shift, bool insertions) {
  Release(-1);
  if (&left == &right) return;
  std::optional<TAlignment> aligned;
  if (insertions) {
    TEditorSource a(left.Editor()), b(right.Editor());
    TLongWork work(&FArea, QStringLiteral("Lining up the documents..."), true);
    aligned = AlignPair(a, b, work.Progress());
  }
  FWindow[0] = &left;
  FWindow[1] = &right;
  FPair = aligned ? std::make_unique<TSideBySide>(left.Editor(), right.Editor(), std::move(*aligned))
                  : std::make_unique<TSideBySide>(left.Editor(), right.Editor(), shift);
  const QRect area = FArea.viewport()->rect();
  for (int side = 0; side < 2; ++side) {
    TDocumentWindow& window = *FWindow[side];
    HexEditorWidget* widget = &window.HexWidget();
    THexEditor& editor = widget->Editor();
    window.showNormal();
    const int half = area.width() / 2;
    window.setGeometry(side == 0 ? 0 : half, 0, side == 0 ? half : area.width() - half, area.height());
    widget->installEventFilter(this);
    widget->viewport()->installEventFilter(this);
    FConnections.push_back(
        connect(widget->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, side] { PostSync(side); }));
    // The widget goes before its window's end: the pairing ends with it.
    FConnections.push_back(connect(widget, &QObject::destroyed, this, [this, side] { Release(side); }));
    FOldStateChanged[side] = editor.OnStateChanged;
    editor.OnStateChanged = [this, side, old = editor.OnStateChanged](THexEditor& e) {
      if (old) old(e);
      PostSync(side);
    };
    editor.Colors().SetDifference(FDifferenceColor);
    editor.SetDifferenceMarks([this, &editor](int64_t pos, int64_t count, uint8_t* out) {
      if (FPair) FPair->Mark(editor, pos, count, out);
    });
    auto* strip = new TOverviewStrip(&window);
    strip->OnJump = [this](int64_t pos) {
      if (FPair) FPair->JumpTo(pos);
      Refresh();
    };
    window.SetSideStrip(strip);
    FStrip[side] = strip;
    FMenuItems[side][0] = window.ContextMenu().addSeparator();
    QAction* align = FMenuItems[side][1] = window.ContextMenu().addAction(QStringLiteral("Align &here"));
    align->setObjectName(QStringLiteral("AlignHere2"));
    align->setStatusTip(AlignHint());
    connect(align, &QAction::triggered, this, [this] { Guarded([this] { AlignHere(); }); });
  }
  FPair->Follow(left.Editor());
  FArea.setActiveSubWindow(&left);
  RestartSummary();
  Refresh(true);
  if (OnLockChanged) OnLockChanged();
}

void TSideBySideView::Unlock() {
  if (!Locked()) return;
  Release(-1);
}

void TSideBySideView::Release(int gone) {
  if (!FPair) return;
  FSummaryTimer.stop();
  FRun.reset();
  for (const QMetaObject::Connection& c : FConnections) disconnect(c);
  FConnections.clear();
  for (int side = 0; side < 2; ++side) {
    TDocumentWindow* window = side == gone ? nullptr : FWindow[side].data();
    if (window) {
      THexEditor& editor = window->Editor();
      window->HexWidget().removeEventFilter(this);
      window->HexWidget().viewport()->removeEventFilter(this);
      editor.OnStateChanged = FOldStateChanged[side];
      editor.SetDifferenceMarks({});
      FPair->Forget(editor);
      if (FStrip[side]) delete FStrip[side].data();
      window->SetCaptionMark(QString());
    }
    if (!window) FPair->Forget(side == 0 ? FPair->Left() : FPair->Right(), false);
    for (QPointer<QAction>& item : FMenuItems[side])
      if (item) delete item.data();
    FOldStateChanged[side] = nullptr;
    FWindow[side] = nullptr;
  }
  FPair.reset();
  if (FStatus) FStatus(QString());
  if (OnLockChanged) OnLockChanged();
}

bool TSideBySideView::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      // A key or a click with Alt held moves this side alone.
      if (SideOf(watched) >= 0 && (static_cast<QInputEvent*>(event)->modifiers() & Qt::AltModifier)) FAlone = FPair != nullptr;
      [[fallthrough]];
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
      if (const int side = SideOf(watched); side >= 0) PostSync(side);
      break;
    default:
      break;
  }
  return false;
}

void TSideBySideView::PostSync(int lead) {
  if (!FPair) return;
  FLead = lead;
  if (FSyncPosted) return;
  FSyncPosted = true;
  QMetaObject::invokeMethod(this, [this] { Guarded([this] { Sync(); }); }, Qt::QueuedConnection);
}

void TSideBySideView::Sync() {
  FSyncPosted = false;
  if (!FPair) return;
  const bool edited = FPair->Sync(FLead == 1 ? &FPair->Right() : &FPair->Left(), FAlone);
  FAlone = false;
  if (edited) RestartSummary();
  Refresh(edited);
}

THexEditor& TSideBySideView::ActiveSide() const {
  return FArea.currentSubWindow() == FWindow[1] ? FPair->Right() : FPair->Left();
}

QString TSideBySideView::AlignHint() {
  return QStringLiteral("Lines up the bytes under both carets; Alt+click or Alt+cursor keys move one caret alone");
}

bool TSideBySideView::NextDifference(bool forward) {
  if (!FPair) return false;
  THexEditor& from = ActiveSide();
  bool found = false;
  {
    TLongWork work(&FArea, QStringLiteral("Looking for the next difference..."), true);
    found = forward ? FPair->NextDifference(from, work.Progress()) : FPair->PreviousDifference(from, work.Progress());
  }
  if (!found && !FPair->Engine().Stopped()) {
    QApplication::beep();
    if (FStatus && Counted())
      FStatus(QString::fromStdString(TSideBySide::CountsText(*Counts(), FPair->FindsInsertions())) +
              (forward ? QStringLiteral("; no further difference") : QStringLiteral("; no difference before this one")));
  }
  Refresh();
  return found;
}

void TSideBySideView::AlignHere() {
  if (!FPair) return;
  {
    TLongWork work(&FArea, QStringLiteral("Lining up the documents..."), true);
    if (!FPair->AlignHere(&ActiveSide(), work.Progress())) return;
  }
  RestartSummary();
  Refresh(true);
}

void TSideBySideView::SetDifferenceColor(TColor color) {
  FDifferenceColor = color;
  if (FPair)
    for (THexEditor* editor : {&FPair->Left(), &FPair->Right()}) editor->Colors().SetDifference(color);
}

void TSideBySideView::Refresh(bool repaint) {
  if (!FPair) return;
  TDiffEngine& engine = FPair->Engine();
  static const std::vector<int64_t> kNone;
  for (int side = 0; side < 2; ++side) {
    TDocumentWindow* window = FWindow[side];
    THexEditor& editor = side == 0 ? FPair->Left() : FPair->Right();
    window->SetCaptionMark(QString::fromStdString(FPair->CaptionMark(editor)));
    if (repaint) window->HexWidget().viewport()->update();
    if (FStrip[side])
      FStrip[side]->Show(engine.First(), engine.Last(), FRun ? FRun->Summary().Buckets : kNone, FPair->Visible(editor));
  }
}

void TSideBySideView::RestartSummary() {
  FRun = std::make_unique<TDiffSummaryRun>(FPair->Engine(), TSideBySide::kOverviewBuckets);
  FSummaryTimer.start();
}

void TSideBySideView::SummaryStep() {
  if (!FPair || !FRun || FRun->Step(SliceSize)) FSummaryTimer.stop();
  if (!FPair || !FRun) return;
  const int64_t percent = FRun->Total() > 0 ? FRun->Done() * 100 / FRun->Total() : 100;
  if (FStatus)
    FStatus(FRun->Complete() ? QString::fromStdString(TSideBySide::CountsText(FRun->Summary(), FPair->FindsInsertions()))
                             : QStringLiteral("Counting the differences... %1%").arg(percent));
  Refresh(false);
}

void TSideBySideView::Settle() {
  for (bool busy = true; busy;) {
    QCoreApplication::processEvents();
    busy = FSyncPosted || (FRun && !FRun->Complete());
    while (FRun && !FRun->Complete()) SummaryStep();
  }
}

}  // namespace byteloom
