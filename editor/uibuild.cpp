#include "editor/uibuild.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QByteArray>
#include <QKeySequence>
#include <QMenu>

namespace byteloom::uibuild {

QMenu* TopMenu(QWidget* owner, const char* name, const QString& caption) {
  auto* menu = new QMenu(caption, owner);
  menu->setObjectName(QLatin1String(name));
  menu->menuAction()->setObjectName(QLatin1String(name));
  return menu;
}

QMenu* SubMenu(QMenu* parent, const char* name, const QString& caption) {
  auto* menu = new QMenu(caption, parent);
  menu->setObjectName(QLatin1String(name));
  menu->menuAction()->setObjectName(QLatin1String(name));
  parent->addMenu(menu);
  return menu;
}

QAction* Item(QMenu* menu, const char* name, const QString& caption, const char* shortcut) {
  auto* action = new QAction(caption, menu);
  action->setObjectName(QLatin1String(name));
  if (shortcut) action->setShortcut(QKeySequence(QLatin1String(shortcut)));
  menu->addAction(action);
  return action;
}

QAction* CheckItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* action = Item(menu, name, caption);
  action->setCheckable(true);
  return action;
}

QAction* Separator(QMenu* menu, const char* name) {
  auto* action = new QAction(menu);
  action->setObjectName(QLatin1String(name));
  action->setSeparator(true);
  menu->addAction(action);
  return action;
}

void RecentFileMenuItems(QMenu* menu, const std::array<QAction**, 5>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    const QByteArray name = "File" + QByteArray::number(static_cast<int>(i) + 1);
    QAction* item = Item(menu, name.constData(), QString());
    item->setVisible(false);
    *items[i] = item;
  }
}

QMenu* RadioMenu(QMenu* parent, const char* name, const QString& caption, int checkedTag,
                 std::initializer_list<TRadioChoice> choices) {
  QMenu* menu = SubMenu(parent, name, caption);
  auto* group = new QActionGroup(menu);
  for (const TRadioChoice& choice : choices) {
    QAction* action = CheckItem(menu, choice.Name, QString::fromUtf8(choice.Caption));
    action->setData(choice.Tag);
    group->addAction(action);
    choice.Target = action;
  }
  for (QAction* action : group->actions())
    if (action->data().toInt() == checkedTag) action->setChecked(true);
  return menu;
}

namespace {

template <typename W>
W* Place(W* widget, const char* name, int x, int y, int w, int h) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(x, y, w, h);
  return widget;
}

}  // namespace

QLabel* Label(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
  return Place(new QLabel(text, parent), name, x, y, w, h);
}

QLineEdit* Edit(QWidget* parent, const char* name, int x, int y, int w, int h) {
  return Place(new QLineEdit(parent), name, x, y, w, h);
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
  return Place(new QPushButton(text, parent), name, x, y, w, h);
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
  return Place(new QCheckBox(text, parent), name, x, y, w, h);
}

QRadioButton* RadioButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h) {
  return Place(new QRadioButton(text, parent), name, x, y, w, h);
}

QGroupBox* GroupBox(QWidget* parent, const char* name, const QString& title, int x, int y, int w, int h) {
  return Place(new QGroupBox(title, parent), name, x, y, w, h);
}

}  // namespace byteloom::uibuild
