// Building menus in code for the frame and the editor windows: every menu and
// item carries its component name as object name, and every command runs
// under the guard that shows an uncaught error.
#pragma once

#include <QAction>
#include <QObject>
#include <QString>

#include <array>
#include <initializer_list>

#include "editor/dialogservice.h"

class QCheckBox;
class QGroupBox;
class QRadioButton;
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

// Runs a handler under the guard whenever the action is chosen.
template <typename F>
void OnClick(QAction* action, F handler) {
  QObject::connect(action, &QAction::triggered, action, [handler] { Guarded(handler); });
}

}  // namespace byteloom::uibuild
