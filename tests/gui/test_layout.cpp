// SPDX-License-Identifier: GPL-3.0-or-later
// Layout that hides no data: every field shows the widest text it can hold
// whole (judged by the field's own drawing, at the usual font and a large
// one) inside its window; the compare-o-meter opens in front of and beside
// the compare dialog.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QWindow>

#include "compare/ui/com_mete.h"
#include "compare/ui/Fcomp.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/valuepanel.h"
#include "guitest.h"
#include "shell/fileinfo.h"
#include "shell/ui/appforms.h"
#include "shell/ui/mainform.h"
#include "ui/uibuild.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

// Why field does not show the widest text of shape whole (empty when it
// does): a line edit scrolls it, a label's own size for it is larger, or the
// field or a box it lies in reaches out of its container.
QString Hides(QWidget* field, const QString& shape) {
  const QFontMetrics metrics = field->fontMetrics();
  const QString text = uibuild::WidestText(metrics, shape);
  if (auto* edit = qobject_cast<QLineEdit*>(field)) {
    edit->setText(text);
    const auto cursorAt = [edit](int pos) {
      edit->setCursorPosition(pos);
      edit->grab();  // the line edit scrolls as it paints
      return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
    };
    const int end = cursorAt(static_cast<int>(text.size()));
    if (end - cursorAt(0) < metrics.horizontalAdvance(text) - 1) return "scrolls";
  } else if (auto* label = qobject_cast<QLabel*>(field)) {
    label->setText(text);
    if (label->sizeHint().width() > label->width()) return QStringLiteral("needs %1").arg(label->sizeHint().width());
  }
  for (QWidget* w = field; !w->isWindow() && !qobject_cast<QMdiSubWindow*>(w); w = w->parentWidget())
    if (!qobject_cast<QStackedWidget*>(w->parentWidget()) && !w->parentWidget()->rect().contains(w->geometry()))
      return w->objectName() + " out of " + w->parentWidget()->objectName();
  return {};
}

}  // namespace

class TestLayout : public TGuiTest {
  Q_OBJECT

 private slots:
  void fieldsShowTheirWidestValue_data() {
    QTest::addColumn<int>("pointSize");  // of the program's font, 0: as it is
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("widest");
    const std::tuple<const char*, QStringList, QStringList> rows[] = {
        {"HexExport", {"Edit1", "Edit2"}, {"FFFFFFFF"}},
        {"HexExport", {"RangeSize"}, {"The start lies outside the document (00 to 7FFFFFFE)"}},
        {"DruckerForm", {"Edit1", "Edit2"}, {"FFFFFFFF"}},
        {"Fcompare", {"Edit1", "Edit2"}, {"2147483647", "$FFFFFFFF"}},
        {"Fcompare", {"Edit3", "Edit4"}, {"255", "$FF"}},
        {"SearchReplace", {"Edit4", "Edit5"}, {"-2147483648", "0xFFFFFFFF", "$FFFFFFFF"}},
        {"SearchReplace", {"Label9"}, {"255"}},
        {"SearchReplace", {"Label11"}, {"FF"}},
        {"Compareometer", {"Scale50"}, {"50%"}},
        {"Compareometer", {"Scale100"}, {"100%"}},
        {"Fileproperties", {"Size"}, {"2147483647 Bytes"}},
        {"Fileproperties", {"LastChange"}, {QString::fromStdString(FormatFileTime(1798675140))}},
        {"Fileproperties", {"Backup"}, {QString::fromStdString(BackupText(TBackupKind::bkNone))}},
    };
    for (int pointSize : {0, 16}) {
      for (const auto& [form, fields, widest] : rows)
        QTest::addRow("%dpt %s %s", pointSize, form, qPrintable(fields.join(' ')))
            << pointSize << form << fields << widest;
      for (int box = 0; box < kValueBoxCount; ++box)
        QTest::addRow("%dpt value box %d", pointSize, box)
            << pointSize << "Value_Info_Panel" << QStringList{QString::number(box)}
            << QStringList{QString::fromStdString(WidestValueText(TValueBox(box)))};
      for (int type = 0; type < kValueTypeCount; ++type) {
        const QString name = QLatin1String(ValueTypeName(TValueType(type)));
        QTest::addRow("%dpt typed value %s", pointSize, qPrintable(name))
            << pointSize << "Value_Info_Panel" << QStringList{"Value_" + name + "_le", "Value_" + name + "_be"}
            << QStringList{QString::fromStdString(WidestValueText(TValueType(type)))};
      }
    }
  }
  void fieldsShowTheirWidestValue() {
    QFETCH(int, pointSize);
    QFETCH(QString, form);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, widest);
    const QFont usual = QApplication::font();
    const auto restore = qScopeGuard([usual] { QApplication::setFont(usual); });
    QFont font = usual;
    if (pointSize) font.setPointSize(pointSize);
    QApplication::setFont(font);
    TMainform& frame = Box().Start();
    frame.Neu1->trigger();
    for (const QString& name : fields) {
      QWidget* field = nullptr;
      if (form == "Value_Info_Panel") {
        TValueInfoPanel* panel = frame.ActiveMDIChild()->Value_Info_Panel;
        bool number = false;
        const int box = name.toInt(&number);
        field = number ? panel->Box(TValueBox(box)) : panel->findChild<QWidget*>(name);
      }
      for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == form) field = top->findChild<QWidget*>(name);
      QVERIFY2(field, qPrintable(name));
      for (const QString& text : widest) {
        const QString why = Hides(field, text);
        QVERIFY2(why.isEmpty(), qPrintable(name + ": " + why));
      }
    }
  }

  // Transient for the compare dialog (so the window system keeps it above),
  // on screen, beside the dialog where there is room, else at the screen's
  // edge: first with the dialog at the left, then in the middle.
  void compareOMeterOpensInFrontBesideTheDialog() {
    TMainform& frame = Box().Start();
    for (const char* name : {"a.bin", "b.bin"}) OpenFile(File(QLatin1String(name), QByteArray(256, name[0])));
    TFcompare& compare = *Box().Frame().Forms().Fcompare;
    TCompareometer& meter = *Box().Frame().Forms().Compareometer;
    const QRect screen = frame.screen()->availableGeometry();
    Script().ExpectModal(QStringLiteral("Fcompare"), [&](QDialog&) {
      for (const int left : {screen.left(), screen.center().x() - compare.width() / 2}) [&] {
          compare.move(left, screen.top());
          compare.show();
          compare.ComboBox1->setCurrentIndex(0);
          compare.ComboBox2->setCurrentIndex(1);
          compare.BitBtn4->click();
          QVERIFY(meter.isVisible() && meter.windowHandle()->transientParent() == compare.windowHandle());
          QVERIFY(screen.contains(meter.frameGeometry()));
          if (left == screen.left()) QVERIFY(!meter.frameGeometry().intersects(compare.frameGeometry()));
          else QCOMPARE(meter.frameGeometry().right(), screen.right());
        }();
      return TModalResult::mrOk;
    });
    frame.Compare1->trigger();
  }
};

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
