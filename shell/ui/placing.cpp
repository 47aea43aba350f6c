// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/placing.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace byteloom {

TFrameRect ToFrameRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

std::vector<TFrameRect> ScreenAreas() {
  std::vector<TFrameRect> screens;
  if (QScreen* primary = QGuiApplication::primaryScreen()) {
    screens.push_back(ToFrameRect(primary->availableGeometry()));
    for (QScreen* screen : QGuiApplication::screens())
      if (screen != primary) screens.push_back(ToFrameRect(screen->availableGeometry()));
  }
  return screens;
}

namespace {

// Watches the application's windows as they show (before the window system
// maps them) and moves each one by the rule.
class TWindowPlacer : public QObject {
 public:
  explicit TWindowPlacer(QWidget* frame) : QObject(frame), FFrame(frame) {}

  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && object->isWidgetType()) Place(*static_cast<QWidget*>(object));
    return false;
  }

 private:
  void Place(QWidget& window) const {
    if (!FFrame || &window == FFrame || !window.isWindow()) return;
    // Menus, lists that drop down and tips open where they belong.
    const Qt::WindowType type = window.windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen || type == Qt::Desktop) return;
    // A dialog without a place of its own is sized and centred over its
    // owner (inside the owner's screen) as it shows, after this.
    if (qobject_cast<QDialog*>(&window) && !window.testAttribute(Qt::WA_Moved)) return;
    // A window not yet mapped has no frame: it gets one like the frame's.
    const auto margins = [](const QWidget& w) {
      const QRect inner = w.geometry(), outer = w.frameGeometry();
      return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                      outer.bottom() - inner.bottom());
    };
    const QMargins frame = window.frameGeometry() != window.geometry() ? margins(window) : margins(*FFrame);
    const QRect outer = window.geometry().marginsAdded(frame);
    // Before the frame is on the screen (a question at the start) it has no
    // place to centre over yet: the window keeps the place it has.
    const bool ownPlace = window.testAttribute(Qt::WA_Moved) || !FFrame->testAttribute(Qt::WA_Mapped);
    const TFrameRect placed =
        PlaceWindow(ToFrameRect(outer), ownPlace, ToFrameRect(FFrame->frameGeometry()), ScreenAreas());
    if (placed == ToFrameRect(outer)) return;
    const QSize inner = QSize(placed.Width, placed.Height).shrunkBy(frame);
    if (inner != window.size()) window.resize(inner);
    // As the frame is placed: the window system puts the outer frame there.
    const QPoint corner(placed.Left, placed.Top);
    window.move(corner);
    if (QWindow* handle = window.windowHandle()) handle->setFramePosition(corner);
  }

  QPointer<QWidget> FFrame;
};

}  // namespace

void PlaceWindowsBy(QWidget* frame) { qApp->installEventFilter(new TWindowPlacer(frame)); }

}  // namespace byteloom
