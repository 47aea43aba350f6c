// SPDX-License-Identifier: GPL-3.0-or-later
// The fields window: a value typed in is one undo step, bad input changes
// nothing, Fix on save writes the checksum with the file, a checksum that
// cannot be fixed stops the save, and the fields come back with the file.
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/fieldsform.h"
#include "fakeframe.h"
#include "guitest.h"

using namespace byteloom;
using namespace byteloom::test;

class TestFields : public TGuiTest {
  Q_OBJECT

 private slots:
  void valuesChecksumsAndTheSave() {
    const QString path = File(QStringLiteral("game.sav"), QByteArray(0x40, '\x11'));
    TFakeFrame frame;
    Teditform* w = frame.OpenWindow(path);
    // The checksum through the field dialog, as typed: sum mod 2^16 of 0x10.. at 0x0C.
    Script().ExpectModal(QStringLiteral("FieldDialog"), [](QDialog& d) {
      auto& dialog = static_cast<TFieldDialog&>(d);
      dialog.NameEdit->setText(QStringLiteral("sum"));
      dialog.OffsetEdit->setText(QStringLiteral("$0C"));
      dialog.AlgorithmBox->setCurrentIndex(static_cast<int>(TChecksumKind::ckSum16));
      dialog.FromEdit->setText(QStringLiteral("0x10"));
      return TModalResult::mrOk;
    });
    w->FieldsForm().AddChecksumClick();
    w->Editor().Seek(0x20, 0, true);
    Script().ExpectModal(QStringLiteral("FieldDialog"), [](QDialog& d) {
      static_cast<TFieldDialog&>(d).NameEdit->setText(QStringLiteral("gold"));
      return TModalResult::mrOk;
    });
    w->AddFieldHere1Click();
    QCOMPARE(int(w->Fields().size()), 2);
    QCOMPARE(w->FieldsForm().FieldView->model()->index(0, TFieldTableModel::kComputed).data().toString(),
             QStringLiteral("0330  \u2260 stored"));  // 0x30 bytes of 0x11

    // Moving the caret computes nothing again; an edit does.
    TFieldsForm& form = w->FieldsForm();
    form.show();
    form.Refresh();
    for (int32_t pos : {3, 7}) {
      w->Editor().SetSelStart(pos);
      form.DocumentChanged();
      QVERIFY(!form.RefreshPending());
    }
    w->Editor().ChangeByte(0x11, 0x12, 0, 2, 7);
    form.DocumentChanged();
    QVERIFY(form.RefreshPending());
    w->Editor().Undo();
    form.Refresh();

    Script().ExpectInput(QStringLiteral("Edit value"), QStringLiteral("4294967296"));
    Script().ExpectMessage(QStringLiteral("\"4294967296\" is no u32 value (0 ... 4294967295)"), TMsgDlgType::mtWarning);
    Script().ExpectInput(QStringLiteral("Edit value"), QStringLiteral("999"));
    w->FieldsForm().EditValueClick();
    w->FieldsForm().EditValueClick();
    QCOMPARE(w->Editor().UndoDescription(), std::string("Replace selection"));
    QVERIFY(w->SaveDocument());
    QByteArray saved = ReadBytes(path);
    QCOMPARE(saved.mid(0x20, 4), QByteArray("\xE7\x03\x00\x00", 4));
    // Big-endian 0x2C * 0x11 + 0xE7 + 0x03: the 0x30 bytes, four of them gold's.
    QCOMPARE(saved.mid(0x0C, 2), QByteArray("\x03\xD6", 2));

    // A checksum over its own place cannot be fixed: nothing is saved.
    w->Fields()[0].From = 0;
    w->FieldsChanged();
    Script().ExpectInput(QStringLiteral("Edit value"), QStringLiteral("5"));
    w->FieldsForm().FieldView->selectRow(1);
    w->FieldsForm().EditValueClick();
    Script().ExpectErrorBox(QStringLiteral("Cannot save file\r\n"));
    QVERIFY(!w->SaveDocument());
    QCOMPARE(ReadBytes(path), saved);

    // Opened again: the fields kept for the file come back.
    w->Fields()[0].From = 0x10;
    w->FieldsChanged();
    const std::vector<TField> kept = w->Fields();
    Teditform* again = frame.OpenWindow(path);
    QVERIFY(again->Fields() == kept);
  }
};

QTEST_MAIN(TestFields)
#include "test_fields.moc"
