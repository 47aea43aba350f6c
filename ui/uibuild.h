// SPDX-License-Identifier: GPL-3.0-or-later
// Building menus in code for the frame and the editor windows: every menu and
// item carries its component name as object name, and every command runs
// under the guard that shows an uncaught error.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QObject>
#include <QString>

#include <array>
#include <initializer_list>

#include "ui/dialogservice.h"

class QCheckBox;
class QGroupBox;
class QRadioButton;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QWidget;

namespace byteloom::uibuild {

// A menu of its own (a main menu or a context menu), owned by owner.
QMenu* TopMenu(QWidget* owner, const char* name, const QString& caption);
// A submenu at the end of parent.
QMenu* SubMenu(QMenu* parent, const char* name, const QString& caption);
// An item at the end of menu; shortcut in the text form "Ctrl+Shift+J".
QAction* Item(QMenu* menu, const char* name, const QString& caption, const char* shortcut = nullptr);
QAction* CheckItem(QMenu* menu, const char* name, const QString& caption);
QAction* Separator(QMenu* menu, const char* name);

// The five recent-file items "File1" to "File5" at the end of menu, hidden
// until they name a file.
void RecentFileMenuItems(QMenu* menu, const std::array<QAction**, 5>& items);

// One item of a radio submenu: the member it fills, its name, caption and tag
// (the value the item stands for, kept as the action's data).
struct TRadioChoice {
  QAction*& Target;
  const char* Name;
  const char* Caption;
  int Tag;
};

// A submenu at the end of parent whose items exclude each other; the one with
// checkedTag starts checked.
QMenu* RadioMenu(QMenu* parent, const char* name, const QString& caption, int checkedTag,
                 std::initializer_list<TRadioChoice> choices);

// Controls of a dialog at a fixed place (x, y, width, height), named after
// their component; buttons and check boxes run their handler under the guard.
QLabel* Label(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h);
QLineEdit* Edit(QWidget* parent, const char* name, int x, int y, int w, int h);
QPushButton* Button(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h);
QCheckBox* CheckBox(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h);
QRadioButton* RadioButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h);
QGroupBox* GroupBox(QWidget* parent, const char* name, const QString& title, int x, int y, int w, int h);

// Sizing by the widest text a control must show whole, in its own font, so
// that it fits at any font and any scale. A sample such as "FFFFFFFF",
// "0x7FFFFFFF" or "-2147483648" stands for all numbers of its shape: the
// widest of them has every digit of a decimal number the widest of 0-9, and
// every digit of a hex number (one with a letter A-F) the widest hex digit.
// Words stay as they are.
QString WidestText(const QFontMetrics& metrics, const QString& sample);
// The advance of sample's widest text in control's font.
int TextAdvance(const QWidget* control, const QString& sample);
// The width control needs for sample: the text and the control's own frame,
// margins and indent (line edits, labels; other controls: text and frame).
int WidthForText(const QWidget* control, const QString& sample);
// Widens control to WidthForText when it is narrower, its left edge kept;
// its width afterwards.
int FitWidth(QWidget* control, const QString& sample);
// Fits each label to its text; the left edge for the fields right of them:
// designLeft, or further right where a label needs it.
int FieldsLeft(std::initializer_list<QLabel*> labels, int designLeft, int gap = 3);
// Grows container (a dialog, group box or panel) until every shown child lies
// inside it with margin to spare at the right and the bottom.
void GrowToChildren(QWidget* container, int margin = 8);

// Runs a handler under the guard whenever the action is chosen.
template <typename F>
void OnClick(QAction* action, F handler) {
  QObject::connect(action, &QAction::triggered, action, [handler] { Guarded(handler); });
}

// Runs a handler under the guard whenever the button is clicked.
template <typename F>
void OnClick(QAbstractButton* button, F handler) {
  QObject::connect(button, &QAbstractButton::clicked, button, [handler] { Guarded(handler); });
}

}  // namespace byteloom::uibuild
