// SPDX-License-Identifier: GPL-3.0-or-later
// A document's window as the features beside the editor see it: a child
// window of the frame's MDI area holding one hex editor widget, with room for
// a narrow strip beside the widget's scroll bar, a context menu, and the
// document's own name apart from what the caption adds. The editor window
// implements it; compare and output reach the editor windows only through it.
#pragma once

#include <QMdiSubWindow>
#include <QString>

class QMenu;

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
  // The menu of a right click on the document.
  virtual QMenu& ContextMenu() const = 0;

  // The document's own name, as lists show it and match it: its file name,
  // or "New File". The caption is the name, then "*" while the document has
  // unsaved changes, then the mark when one is set (the shift of a pair side
  // by side, "(+4)").
  const QString& DocumentName() const { return FDocumentName; }
  void SetDocumentName(const QString& name) {
    FDocumentName = name;
    RefreshCaption();
  }
  void SetCaptionMark(const QString& mark) {
    FCaptionMark = mark;
    RefreshCaption();
  }
  // Shows the caption again (after the document's Modified flag changed).
  void RefreshCaption();

 private:
  QString FDocumentName, FCaptionMark;
};

}  // namespace byteloom
