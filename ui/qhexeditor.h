// SPDX-License-Identifier: GPL-3.0-or-later
// HexEditorWidget: the Qt window of one hex editor control. It owns a
// THexEditor, implements the window services the control asks for
// (TGridHost), paints it through a QPainter canvas and hands keyboard,
// mouse, focus, wheel and scroll-bar input to it.
#pragma once

#include <QAbstractScrollArea>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QFont>
#include <QPoint>
#include <QSocketNotifier>
#include <QRegion>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "control/hexeditor.h"

namespace byteloom {

class HexEditorWidget : public QAbstractScrollArea, public TGridHost {
  Q_OBJECT

 public:
  explicit HexEditorWidget(QWidget* parent = nullptr);
  ~HexEditorWidget() override;

  THexEditor& Editor() { return *FEditor; }
  const THexEditor& Editor() const { return *FEditor; }

  // The Qt font the control's font resolves to: "Courier" is the system's
  // fixed font, "Arial" its general font, at the font's pixel height.
  static QFont ResolveFont(const TFont& font);
  // A Windows colour value as a Qt colour (RGB only).
  static QColor ToQColor(TColor c);
  // Windows-1252 codes as text.
  static QString FromCp1252(const std::string& text);

  // Paints the region of the view as a paint event does: the cells, then
  // the caret. perCell draws every cell on its own, filled and written one
  // after the other (the reference the drawing in runs must equal).
  void PaintView(class QPainter& painter, const QRegion& region, bool perCell = false);

  // Where the caret is drawn, and whether it is shown now (for tests).
  QRect CaretRect() const;
  bool CaretVisible() const;

  // --- TGridHost ------------------------------------------------------------------
  bool HandleAllocated() const override { return FCreated; }
  bool Focused() const override;
  void Invalidate() override;
  void InvalidateRect(const TRect& r) override;
  void Repaint() override;
  void ScrollRect(int dx, int dy, const TRect& area) override;
  void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override;
  void CursorChanged(TCursor cursor) override;
  int TextWidth(const TFont& font, const std::string& text) override;
  int TextHeight(const TFont& font, const std::string& text) override;
  void LockUpdate(bool lock) override;
  void CreateCaret(const TCaretShape& shape) override;
  void DestroyCaret() override;
  void SetCaretPos(int x, int y) override;
  void ShowCaret() override;
  void HideCaret() override;
  void ScrollStateChanged() override;
  TColor ColorToRGB(TColor c) const override;
  bool KeyHeld(int vk) const override;
  void SetTrackTimer(bool on) override;
  void WatchFile(int fd) override;

  // The control's virtual key for a Qt key event (0 for keys it does not know).
  static uint16_t VirtualKey(const QKeyEvent& event);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Tab and Shift+Tab belong to the control, not to the focus chain.
  bool focusNextPrevChild(bool next) override;

 private:
  void SyncScrollBars();
  void UpdateCaretArea();
  void DrawCaret(class QPainter& painter);
  TShiftState ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) const;
  void MouseButtonDown(QMouseEvent* event, TShiftState extra);

  std::unique_ptr<THexEditor> FEditor;
  bool FCreated = false;
  int FLockCount = 0;
  bool FSyncingBars = false;
  TBarScale FRowScale;  // the vertical bar's rows
  bool FPaintErrorShown = false;

  // The caret: a shape, a place, a hide count as the system caret has one
  // (created hidden, shown when the count is back at 0), and the blink phase.
  bool FCaretExists = false;
  int FCaretHideCount = 0;
  TCaretShape FCaretShape;
  QPoint FCaretPos{-50, -50};
  bool FBlinkOn = true;
  QTimer FBlinkTimer;

  // Input state: the modifiers and buttons of the last events, the last
  // pointer position (for drag tracking) and the digits typed on the number
  // pad while Alt is held (a character code entered the Windows way).
  Qt::KeyboardModifiers FModifiers;
  Qt::MouseButtons FButtons;
  QPoint FPointer;
  QTimer FTrackTimer;
  std::unique_ptr<QSocketNotifier> FFileWatch;  // the opened file's watch
  QString FAltDigits;
};

}  // namespace byteloom
