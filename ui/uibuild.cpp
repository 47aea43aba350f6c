// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/uibuild.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QByteArray>
#include <QFrame>
#include <QStyle>
#include <QStyleOptionFrame>
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

namespace {

// The char of chars with the widest advance in metrics.
QChar WidestOf(const QFontMetrics& metrics, QStringView chars) {
  QChar widest = chars.front();
  for (QChar c : chars)
    if (metrics.horizontalAdvance(c) > metrics.horizontalAdvance(widest)) widest = c;
  return widest;
}

}  // namespace

QString WidestText(const QFontMetrics& metrics, const QString& sample) {
  const QChar decimal = WidestOf(metrics, u"0123456789");
  const QChar hex = WidestOf(metrics, u"0123456789ABCDEF");
  QString text = sample;
  // A number is a run of letters and digits that are all hex digits (after
  // an optional "0x"): decimal when they are all 0-9 without "0x". Any other
  // run is a word and stays.
  for (qsizetype start = 0, end = 0; start < text.size(); start = end + 1) {
    end = start;
    while (end < text.size() && text[end].isLetterOrNumber()) ++end;
    const bool prefixed = QStringView(text).mid(start, 2) == u"0x";
    const qsizetype first = prefixed ? start + 2 : start;
    const QStringView run = QStringView(text).mid(first, end - first);
    const auto only = [run](QStringView chars) {
      return std::all_of(run.begin(), run.end(), [chars](QChar c) { return chars.contains(c); });
    };
    if (run.isEmpty() || !only(u"0123456789ABCDEF")) continue;
    const QChar widest = prefixed || !only(u"0123456789") ? hex : decimal;
    for (qsizetype i = first; i < end; ++i) text[i] = widest;
  }
  return text;
}

int TextAdvance(const QWidget* control, const QString& sample) {
  const QFontMetrics metrics = control->fontMetrics();
  const QString text = WidestText(metrics, sample);
  // The ink may reach past the advance (a label sizes by it).
  return std::max(metrics.horizontalAdvance(text), metrics.boundingRect(text).width()) + 1;
}

int WidthForText(const QWidget* control, const QString& sample) {
  const int text = TextAdvance(control, sample);
  const QMargins own = control->contentsMargins();
  if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
    // As the line edit lays out: 2 pixels of margin at each side of the text
    // and a cursor, inside its text margins and the style's frame.
    const QMargins margins = edit->textMargins();
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    const QSize inner(text + 2 * 2 + 1 + margins.left() + margins.right() + own.left() + own.right(), edit->height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, inner, edit).width();
  }
  int frame = 0;
  if (const auto* framed = qobject_cast<const QFrame*>(control)) frame = framed->frameWidth();
  int extra = 0;
  if (const auto* label = qobject_cast<const QLabel*>(control)) {
    // A framed label with the default indent keeps half an 'x' free at the
    // side it is aligned to.
    int indent = label->indent();
    if (indent < 0)
      indent = frame > 0 ? control->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - label->margin() : 0;
    extra = 2 * label->margin() + (label->alignment() & (Qt::AlignLeft | Qt::AlignRight) ? std::max(indent, 0) : 0);
  }
  return text + 2 * frame + extra + own.left() + own.right();
}

int FitWidth(QWidget* control, const QString& sample) {
  const int needed = WidthForText(control, sample);
  if (control->width() < needed) control->resize(needed, control->height());
  return control->width();
}

int FieldsLeft(std::initializer_list<QLabel*> labels, int designLeft, int gap) {
  int left = designLeft;
  for (QLabel* label : labels) left = std::max(left, label->x() + FitWidth(label, label->text()) + gap);
  return left;
}

void GrowToChildren(QWidget* container, int margin) {
  const QRect children = container->childrenRect();
  const QSize needed =
      container->size().expandedTo(QSize(children.right() + 1 + margin, children.bottom() + 1 + margin));
  if (needed == container->size()) return;
  if (container->minimumSize() == container->maximumSize())
    container->setFixedSize(needed);
  else
    container->resize(needed);
}

}  // namespace byteloom::uibuild
