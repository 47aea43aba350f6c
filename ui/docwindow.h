// A document's window as the features beside the editor see it: a child
// window of the frame's MDI area holding one hex editor widget, with room for
// a narrow strip beside the widget's scroll bar. The editor window implements
// it; compare and output reach the editor windows only through it.
#pragma once

#include <QMdiSubWindow>

namespace byteloom {

class HexEditorWidget;
class THexEditor;

class TDocumentWindow : public QMdiSubWindow {
 public:
  using QMdiSubWindow::QMdiSubWindow;
  virtual HexEditorWidget& HexWidget() const = 0;
  virtual THexEditor& Editor() const = 0;
  // Shows strip beside the widget's scroll bar; the window owns it then.
  virtual void SetSideStrip(QWidget* strip) = 0;
};

}  // namespace byteloom
