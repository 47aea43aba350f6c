// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qhexeditor.h"


#include <QApplication>
#include <QGuiApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <exception>
#include <optional>

#include "control/canvas.h"
#include "platform/codepages.h"
#include "platform/guard.h"
#include "ui/qtcanvas.h"

namespace byteloom {

namespace {

// A scroll bar that repaints only when what it shows changes: on a large
// document a scroll by a few rows leaves its handle where it is.
class TScrollBar final : public QScrollBar {
 public:
  using QScrollBar::QScrollBar;

 protected:
  void sliderChange(SliderChange change) override {
    if (change == SliderValueChange && Look() == FShown) return;
    QScrollBar::sliderChange(change);
  }
  void paintEvent(QPaintEvent* event) override {
    FShown = Look();
    QScrollBar::paintEvent(event);
  }

 private:
  // The handle's place, and whether the value is at either end (the arrow
  // buttons look disabled there).
  struct TLook {
    QRect Handle;
    bool AtMinimum = false, AtMaximum = false;
    bool operator==(const TLook&) const = default;
  };
  TLook Look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
  }
  TLook FShown;
};

TColor FromQColor(const QColor& c) {
  return static_cast<TColor>(c.red()) | static_cast<TColor>(c.green()) << 8 | static_cast<TColor>(c.blue()) << 16;
}

}  // namespace

HexEditorWidget::HexEditorWidget(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  setVerticalScrollBar(new TScrollBar(Qt::Vertical));
  setHorizontalScrollBar(new TScrollBar(Qt::Horizontal));
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FTrackTimer.setParent(this);
  FTrackTimer.setInterval(60);
  connect(&FTrackTimer, &QTimer::timeout, this, [this] {
    Guarded([&] { FEditor->TrackTimer(FPointer.x(), FPointer.y()); });
  });
  FBlinkTimer.setParent(this);
  const int flash = QApplication::cursorFlashTime();
  FBlinkTimer.setInterval(flash > 0 ? flash / 2 : 500);
  connect(&FBlinkTimer, &QTimer::timeout, this, [this] {
    FBlinkOn = !FBlinkOn;
    UpdateCaretArea();
  });

  FEditor = std::make_unique<THexEditor>(*this);
  FCreated = true;
  FEditor->Loaded();
  FEditor->SetClientSize(viewport()->width(), viewport()->height());
  SyncScrollBars();
}

HexEditorWidget::~HexEditorWidget() {
  FCreated = false;
  FBlinkTimer.stop();
  FTrackTimer.stop();
  FFileWatch.reset();
  FEditor.reset();
}

// ---------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------

QFont HexEditorWidget::ResolveFont(const TFont& font) {
  QFont f;
  if (font.Name == "Courier")
    f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  else if (font.Name == "Arial")
    f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  else
    f = QFont(QString::fromStdString(font.Name));
  int px = font.Height < 0 ? -font.Height : font.Height;
  if (px == 0) px = FontHeightFromSize(font.Size) * -1;
  f.setPixelSize(px > 0 ? px : 13);
  return f;
}

QColor HexEditorWidget::ToQColor(TColor c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

QString HexEditorWidget::FromCp1252(const std::string& text) {
  QString s;
  s.reserve(static_cast<qsizetype>(text.size()));
  for (char ch : text) s.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<uint8_t>(ch)))));
  return s;
}

TColor HexEditorWidget::ColorToRGB(TColor c) const {
  if (!IsSystemColor(c)) return c & 0xFFFFFF;
  const QPalette& p = palette();
  switch (c) {
    case clWindow:
      return FromQColor(p.color(QPalette::Base));
    case clWindowText:
      return FromQColor(p.color(QPalette::Text));
    case clBtnFace:
      return FromQColor(p.color(QPalette::Button));
    case clSystemColor | 13:  // highlight
      return FromQColor(p.color(QPalette::Highlight));
    case clSystemColor | 14:  // highlighted text
      return FromQColor(p.color(QPalette::HighlightedText));
    case clSystemColor | 18:  // button text
      return FromQColor(p.color(QPalette::ButtonText));
    default:
      return FromQColor(p.color(QPalette::Mid));
  }
}

// ---------------------------------------------------------------------------
// Window services
// ---------------------------------------------------------------------------


bool HexEditorWidget::Focused() const { return hasFocus(); }

void HexEditorWidget::Invalidate() { viewport()->update(); }

void HexEditorWidget::InvalidateRect(const TRect& r) {
  if (!r.IsEmpty()) viewport()->update(QRect(r.Left, r.Top, r.Width(), r.Height()));
}

void HexEditorWidget::ScrollRect(int dx, int dy, const TRect& area) {
  // The caret is drawn over the pixels that move: its place is painted
  // anew. Qt moves the regions waiting for a repaint along with the pixels.
  UpdateCaretArea();
  viewport()->scroll(dx, dy, QRect(area.Left, area.Top, area.Width(), area.Height()));
}

void HexEditorWidget::Repaint() { viewport()->repaint(); }

void HexEditorWidget::PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
  QMetaObject::invokeMethod(
      this, [this, msg, wParam, lParam] { Guarded([&] { FEditor->HandleMessage(msg, wParam, lParam); }); },
      Qt::QueuedConnection);
}

void HexEditorWidget::CursorChanged(TCursor cursor) {
  switch (cursor) {
    case TCursor::crHourGlass:
      viewport()->setCursor(Qt::WaitCursor);
      break;
    case TCursor::crIBeam:
      viewport()->setCursor(Qt::IBeamCursor);
      break;
    case TCursor::crDefault:
      viewport()->setCursor(Qt::ArrowCursor);
      break;
  }
}

int HexEditorWidget::TextWidth(const TFont& font, const std::string& text) {
  return QFontMetrics(ResolveFont(font)).horizontalAdvance(FromCp1252(text));
}

int HexEditorWidget::TextHeight(const TFont& font, const std::string&) {
  return QFontMetrics(ResolveFont(font)).height();
}

void HexEditorWidget::LockUpdate(bool lock) {
  if (lock) {
    if (FLockCount++ == 0) setUpdatesEnabled(false);
  } else if (FLockCount > 0 && --FLockCount == 0) {
    setUpdatesEnabled(true);
  }
}

void HexEditorWidget::ScrollStateChanged() {
  if (FEditor) SyncScrollBars();
}

void HexEditorWidget::SyncScrollBars() {
  const TScrollInfo v = FEditor->VertScrollInfo();
  const TScrollInfo h = FEditor->HorzScrollInfo();
  FSyncingBars = true;
  // Rows beyond what the bar can count are scaled onto it.
  FRowScale.Max = v.Max;
  verticalScrollBar()->setRange(0, FRowScale.BarMax());
  verticalScrollBar()->setPageStep(FRowScale.BarPage(v.Page));
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setValue(FRowScale.ToBar(v.Position));
  horizontalScrollBar()->setRange(0, static_cast<int>(h.Max));
  horizontalScrollBar()->setPageStep(static_cast<int>(h.Page));
  horizontalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setValue(static_cast<int>(h.Position));
  FSyncingBars = false;
}

// ---------------------------------------------------------------------------
// The caret
// ---------------------------------------------------------------------------

QRect HexEditorWidget::CaretRect() const {
  return QRect(FCaretPos, QSize(FCaretShape.Width, FCaretShape.Height));
}

bool HexEditorWidget::CaretVisible() const { return FCaretExists && FCaretHideCount == 0 && hasFocus(); }

void HexEditorWidget::UpdateCaretArea() {
  if (FCaretExists) viewport()->update(CaretRect());
}

void HexEditorWidget::CreateCaret(const TCaretShape& shape) {
  UpdateCaretArea();
  FCaretShape = shape;
  FCaretExists = true;
  FCaretHideCount = 1;
  FBlinkOn = true;
}

void HexEditorWidget::DestroyCaret() {
  UpdateCaretArea();
  FCaretExists = false;
  FCaretHideCount = 0;
  FBlinkTimer.stop();
}

void HexEditorWidget::SetCaretPos(int x, int y) {
  if (FCaretPos == QPoint(x, y)) return;
  UpdateCaretArea();
  FCaretPos = QPoint(x, y);
  FBlinkOn = true;
  if (FCaretExists && FBlinkTimer.isActive()) FBlinkTimer.start();  // a moved caret shows at once
  UpdateCaretArea();
}

void HexEditorWidget::ShowCaret() {
  if (!FCaretExists || FCaretHideCount == 0) return;
  if (--FCaretHideCount == 0) {
    FBlinkOn = true;
    FBlinkTimer.start();
    UpdateCaretArea();
  }
}

void HexEditorWidget::HideCaret() {
  if (!FCaretExists) return;
  if (FCaretHideCount++ == 0) {
    FBlinkTimer.stop();
    UpdateCaretArea();
  }
}

void HexEditorWidget::DrawCaret(QPainter& painter) {
  if (!CaretVisible() || !FBlinkOn || FCaretShape.Fill.IsEmpty()) return;
  const TRect& f = FCaretShape.Fill;
  const QRect fill = QRect(FCaretPos.x() + f.Left, FCaretPos.y() + f.Top, f.Width(), f.Height()).intersected(CaretRect());
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.fillRect(fill, ToQColor(FCaretShape.FillColor));
  painter.restore();
}

// ---------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------

void HexEditorWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  PaintView(painter, event->region());
}

void HexEditorWidget::PaintView(QPainter& painter, const QRegion& region, bool perCell) {
  try {
    TQtCanvas canvas(painter, !perCell);
    // Each rectangle on its own: a scroll leaves a strip at one edge and a
    // few cells elsewhere, whose bounding rectangle would be the whole view.
    for (const QRect& r : region) {
      FEditor->Paint(TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1}, canvas);
      canvas.Flush();  // a cell that meets two rectangles is drawn whole each time
    }
    FPaintErrorShown = false;
  } catch (...) {
    for (const QRect& r : region) painter.fillRect(r, ToQColor(ColorToRGB(FEditor->Color())));
    // Shown once, later: a message box inside a paint would paint again.
    if (!FPaintErrorShown) {
      FPaintErrorShown = true;
      const std::exception_ptr error = std::current_exception();
      QMetaObject::invokeMethod(this, [error] { ReportUncaught(error); }, Qt::QueuedConnection);
    }
  }
  DrawCaret(painter);
}

void HexEditorWidget::resizeEvent(QResizeEvent*) {
  Guarded([&] { FEditor->SetClientSize(viewport()->width(), viewport()->height()); });
}

void HexEditorWidget::scrollContentsBy(int, int) {
  if (FSyncingBars) return;
  const int bar = verticalScrollBar()->value();
  const int left = horizontalScrollBar()->value();
  Guarded([&] {
    // The bar's value counts from the view's first row.
    if (bar != FRowScale.ToBar(FEditor->VertScrollInfo().Position))
      FEditor->VScroll(TScrollCode::scPosition, FRowScale.FromBar(bar));
    if (left != FEditor->LeftCol() - FEditor->FixedCols()) FEditor->HScroll(TScrollCode::scPosition, left);
  });
}

void HexEditorWidget::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  Guarded([&] { FEditor->FocusGained(); });
}

void HexEditorWidget::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  // Keys released elsewhere are not seen here.
  FModifiers = Qt::NoModifier;
  FAltDigits.clear();
  Guarded([&] { FEditor->FocusLost(); });
}

bool HexEditorWidget::focusNextPrevChild(bool) { return false; }

void HexEditorWidget::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  Guarded([&] { FEditor->MouseWheel(delta); });
  event->accept();
}

// ---------------------------------------------------------------------------
// Keyboard and mouse
// ---------------------------------------------------------------------------

namespace {

// The digit of a number pad key, whether Num Lock is on or off, or -1.
int KeypadDigit(const QKeyEvent& event) {
  if (!(event.modifiers() & Qt::KeypadModifier)) return -1;
  const int key = event.key();
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return key - Qt::Key_0;
  switch (key) {
    case Qt::Key_Insert: return 0;
    case Qt::Key_End: return 1;
    case Qt::Key_Down: return 2;
    case Qt::Key_PageDown: return 3;
    case Qt::Key_Left: return 4;
    case Qt::Key_Clear: return 5;
    case Qt::Key_Right: return 6;
    case Qt::Key_Home: return 7;
    case Qt::Key_Up: return 8;
    case Qt::Key_PageUp: return 9;
    default: return -1;
  }
}

// The digit on the key of the main keyboard that gives this symbol with
// Shift on a US layout (and the German symbols that do not clash), or -1.
int ShiftedDigit(int key) {
  switch (key) {
    case Qt::Key_ParenRight:
    case Qt::Key_Equal: return 0;
    case Qt::Key_Exclam: return 1;
    case Qt::Key_At:
    case Qt::Key_QuoteDbl: return 2;
    case Qt::Key_NumberSign:
    case Qt::Key_section: return 3;
    case Qt::Key_Dollar: return 4;
    case Qt::Key_Percent: return 5;
    case Qt::Key_AsciiCircum: return 6;
    case Qt::Key_Ampersand:
    case Qt::Key_Slash: return 7;
    case Qt::Key_Asterisk: return 8;
    case Qt::Key_ParenLeft: return 9;
    default: return -1;
  }
}

// The control's name for a mouse button; none for the others (back, forward...).
std::optional<TMouseButton> ControlButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return TMouseButton::mbLeft;
    case Qt::RightButton: return TMouseButton::mbRight;
    case Qt::MiddleButton: return TMouseButton::mbMiddle;
    default: return std::nullopt;
  }
}

}  // namespace

uint16_t HexEditorWidget::VirtualKey(const QKeyEvent& event) {
  const int key = event.key();
  const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
  if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint16_t>(VK_NUMPAD0 + (key - Qt::Key_0));
  // With Shift or Ctrl held, a digit key of the main keyboard is the digit
  // whatever symbol the layout gives it (Shift+1 is "!" on a US layout,
  // Ctrl+1 is "&" on a French one). Its position tells: xkb key codes 10..19
  // are the keys 1..9, 0 on X11 and Wayland alike.
  if (!keypad && (event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
    const quint32 scan = event.nativeScanCode();
    if (scan >= 10 && scan <= 19) return static_cast<uint16_t>(VK_0 + (scan - 9) % 10);
  }
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<uint16_t>(VK_0 + (key - Qt::Key_0));
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<uint16_t>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return static_cast<uint16_t>(VK_F1 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: break;
  }
  // Shift+digit without a key position (synthetic events): the US and German symbols.
  if (event.modifiers() & Qt::ShiftModifier) {
    const int d = ShiftedDigit(key);
    if (d >= 0) return static_cast<uint16_t>(VK_0 + d);
  }
  return 0;
}

TShiftState HexEditorWidget::ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) const {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

bool HexEditorWidget::KeyHeld(int vk) const {
  // Asking the window system for the keyboard is a round trip: only for a
  // modifier key that the last events did not show held.
  auto modifier = [this](Qt::KeyboardModifier m) {
    return (FModifiers & m) || (QGuiApplication::queryKeyboardModifiers() & m);
  };
  auto button = [this](Qt::MouseButton b) { return ((FButtons | QGuiApplication::mouseButtons()) & b) != 0; };
  switch (vk) {
    case VK_SHIFT: return modifier(Qt::ShiftModifier);
    case VK_CONTROL: return modifier(Qt::ControlModifier);
    case VK_MENU: return modifier(Qt::AltModifier);
    case VK_LBUTTON: return button(Qt::LeftButton);
    case VK_RBUTTON: return button(Qt::RightButton);
    case VK_MBUTTON: return button(Qt::MiddleButton);
    default: return false;
  }
}

void HexEditorWidget::SetTrackTimer(bool on) {
  if (on)
    FTrackTimer.start();
  else
    FTrackTimer.stop();
}

void HexEditorWidget::WatchFile(int fd) {
  FFileWatch.reset();
  if (fd < 0) return;
  FFileWatch = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(FFileWatch.get(), &QSocketNotifier::activated, this, [this] {
    // No second report while the first one's message is up.
    QSocketNotifier* watch = FFileWatch.get();
    watch->setEnabled(false);
    Guarded([&] { FEditor->OpenedFileEvent(); });
    if (FFileWatch.get() == watch) watch->setEnabled(true);
  });
}

void HexEditorWidget::keyPressEvent(QKeyEvent* event) {
  // The modifier keys count as held while they are pressed, as on Windows.
  Qt::KeyboardModifiers mods = event->modifiers();
  if (event->key() == Qt::Key_Shift) mods |= Qt::ShiftModifier;
  if (event->key() == Qt::Key_Control) mods |= Qt::ControlModifier;
  if (event->key() == Qt::Key_Alt) mods |= Qt::AltModifier;
  FModifiers = mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const TShiftState shift = ShiftOf(mods, FButtons);

  uint16_t vk = VirtualKey(*event);
  if (event->key() == Qt::Key_Alt && !event->isAutoRepeat()) FAltDigits.clear();
  if ((mods & Qt::AltModifier) && !(mods & Qt::ControlModifier)) {
    // Alt + number pad digits: a character code, given when Alt is released.
    const int d = KeypadDigit(*event);
    if (d >= 0) {
      FAltDigits += QChar(u'0' + d);
      vk = static_cast<uint16_t>(VK_NUMPAD0 + d);
    }
  }
  Guarded([&] {
    if (vk != 0) FEditor->KeyDown(vk, shift);
    // Characters, as Windows sends them: none while only Ctrl or only Alt
    // is held (shortcuts and menu keys), and no control characters.
    const bool ctrl = mods & Qt::ControlModifier, alt = mods & Qt::AltModifier;
    if (ctrl != alt) return;
    for (const QChar ch : event->text()) {
      const char16_t u = ch.unicode();
      uint8_t b = 0;
      if (u < 0x20 || u == 0x7F || !UnicodeToCp1252(u, b)) continue;
      FEditor->KeyPress(b);
    }
  });
  event->accept();
}

void HexEditorWidget::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) {
    event->accept();
    return;
  }
  Qt::KeyboardModifiers mods = event->modifiers();
  if (event->key() == Qt::Key_Shift) mods &= ~Qt::ShiftModifier;
  if (event->key() == Qt::Key_Control) mods &= ~Qt::ControlModifier;
  if (event->key() == Qt::Key_Alt) mods &= ~Qt::AltModifier;
  FModifiers = mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const TShiftState shift = ShiftOf(mods, FButtons);
  uint16_t vk = VirtualKey(*event);
  const int d = (mods & Qt::AltModifier) ? KeypadDigit(*event) : -1;
  if (d >= 0) vk = static_cast<uint16_t>(VK_NUMPAD0 + d);

  // Alt released after number pad digits: the code's character follows the
  // release. A leading 0 gives the Windows-1252 character of the code,
  // otherwise the code page 437 one.
  int code = -1;
  if (event->key() == Qt::Key_Alt && !FAltDigits.isEmpty()) {
    const int value = FAltDigits.right(6).toInt() % 256;
    code = FAltDigits.startsWith(u'0') ? value : OemToAnsi(static_cast<uint8_t>(value));
    FAltDigits.clear();
  }
  Guarded([&] {
    FEditor->KeyUp(vk, shift);
    if (code >= 0) FEditor->KeyPress(static_cast<uint8_t>(code));
  });
  event->accept();
}

void HexEditorWidget::MouseButtonDown(QMouseEvent* event, TShiftState extra) {
  const std::optional<TMouseButton> pressed = ControlButton(event->button());
  if (!pressed) return;
  const TMouseButton button = *pressed;
  FButtons = event->buttons();
  FModifiers = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  FPointer = event->position().toPoint();
  const TShiftState shift = ShiftOf(event->modifiers(), event->buttons()) | extra;
  Guarded([&] { FEditor->MouseDown(button, shift, FPointer.x(), FPointer.y()); });
}

void HexEditorWidget::mousePressEvent(QMouseEvent* event) {
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  MouseButtonDown(event, 0);
  event->accept();
}

void HexEditorWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  MouseButtonDown(event, ssDouble);
  event->accept();
}

void HexEditorWidget::mouseMoveEvent(QMouseEvent* event) {
  FPointer = event->position().toPoint();
  FButtons = event->buttons();
  const TShiftState shift = ShiftOf(event->modifiers(), event->buttons());
  Guarded([&] { FEditor->MouseMove(shift, FPointer.x(), FPointer.y()); });
  event->accept();
}

void HexEditorWidget::mouseReleaseEvent(QMouseEvent* event) {
  const std::optional<TMouseButton> pressed = ControlButton(event->button());
  if (!pressed) return;
  const TMouseButton button = *pressed;
  FPointer = event->position().toPoint();
  FButtons = event->buttons();
  const TShiftState shift = ShiftOf(event->modifiers(), event->buttons());
  Guarded([&] { FEditor->MouseUp(button, shift, FPointer.x(), FPointer.y()); });
  event->accept();
}

}  // namespace byteloom
