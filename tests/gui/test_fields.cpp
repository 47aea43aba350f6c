// SPDX-License-Identifier: GPL-3.0-or-later
// The fields window: a value typed in is one undo step, bad input changes
// nothing, Fix on save writes the checksum with the file, a checksum that
// cannot be fixed stops the save, and the fields come back with the file.
// A checksum's range by its last byte, its length or the selection, shown
// in the table; Checksum of selection over a typed range.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

  void checksumRangesByLengthOrTheSelection() {
    QByteArray data(0x100, '\0');
    for (int i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    TFakeFrame frame;
    Teditform* w = frame.OpenWindow(File(QStringLiteral("image.png"), data));
    THexEditor& ed = w->Editor();
    struct Row {
      const char* What;
      int32_t SelFirst, SelCount;  // the document's selection
      std::function<void(TFieldDialog&)> Type;
      QString Offset, Range;  // the new row's
    };
    const Row rows[] = {
        {"a length typed over the last byte", 0x40, 8,
         [](TFieldDialog& d) { QTest::keyClicks(d.RangeLengthEdit, QStringLiteral("4")); }, "0x48", "0x40 ... 0x43 (4 bytes)"},
        {"the selection in one click", 0x20, 16,
         [](TFieldDialog& d) {
           d.FromEdit->setText(QStringLiteral("0"));
           d.SelectionButton->click();
         },
         "0x30", "0x20 ... 0x2F (16 bytes)"},
    };
    QStringList previews;
    for (const Row& row : rows) {
      ed.SetSelStart(row.SelFirst);
      ed.SetSelEnd(row.SelFirst + row.SelCount - 1);
      Script().ExpectModal(QStringLiteral("FieldDialog"), [&](QDialog& d) {
        auto& dialog = static_cast<TFieldDialog&>(d);
        row.Type(dialog);
        previews << dialog.RangeLabel->text();
        return TModalResult::mrOk;
      });
      w->FieldsForm().AddChecksumClick();
      QAbstractItemModel* table = w->FieldsForm().FieldView->model();
      const int last = table->rowCount() - 1;
      QCOMPARE(table->index(last, TFieldTableModel::kOffset).data().toString(), row.Offset);
      QCOMPARE(table->index(last, TFieldTableModel::kRange).data().toString(), row.Range);
      QCOMPARE(previews.last(), QStringLiteral("The range ") + row.Range);
    }

    // Checksum of selection: the selection's, then over a typed range; a
    // range past the end is refused and leaves the values.
    const auto crc = [&](int first, int count) {
      const std::vector<uint8_t> bytes(data.begin() + first, data.begin() + first + count);
      TBufferSource source(bytes);
      return QString::fromStdString(HexDigits(ComputeChecksum(source, 0, count, TChecksumKind::ckCrc32)));
    };
    ed.SetSelStart(0x85);
    ed.SetSelEnd(0x9F);
    QStringList shown;
    Script().ExpectModal(QStringLiteral("ChecksumDialog"), [&](QDialog& d) {
      auto& dialog = static_cast<TChecksumDialog&>(d);
      shown << dialog.RangeLabel->text() << dialog.ValueEdits[0]->text();
      dialog.FromEdit->setText(QStringLiteral("0x10"));
      QTest::keyClicks(dialog.RangeLengthEdit, QStringLiteral("0x20"));
      dialog.ComputeButton->click();
      shown << dialog.RangeLabel->text() << dialog.ValueEdits[0]->text();
      dialog.RangeLengthEdit->setText(QStringLiteral("0x200"));
      dialog.ComputeButton->click();
      shown << dialog.ValueEdits[0]->text();
      return TModalResult::mrCancel;
    });
    Script().ExpectMessage(QStringLiteral("The range ends past the end of the document"), TMsgDlgType::mtWarning);
    w->ChecksumOfSelection1Click();
    QCOMPARE(shown, (QStringList{QStringLiteral("The selection 0x85 ... 0x9F (27 bytes)"), crc(0x85, 27),
                                 QStringLiteral("The range 0x10 ... 0x2F (32 bytes)"), crc(0x10, 32), crc(0x10, 32)}));
  }
};

QTEST_MAIN(TestFields)
#include "test_fields.moc"
