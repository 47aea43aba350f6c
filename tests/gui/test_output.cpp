// SPDX-License-Identifier: GPL-3.0-or-later
// Print & Preview and HexExport wired to the dump engine: File > Print and
// File > Export > as Textfile open them on the active document, their fields
// and buttons work, a print goes to a real PDF (read back with pdftotext) and
// an export to a file.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProgressDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "fakeframe.h"
#include "guitest.h"
#include "output/dumpformat.h"
#include "tests/support/filelimit.h"
#include "ui/progress.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

QByteArray Document(int size) {
  QByteArray data(size, 0);
  for (int i = 0; i < size; ++i) data[i] = static_cast<char>('A' + i % 26);
  return data;
}

QString Run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000)) return QString();
  return QString::fromLatin1(p.readAllStandardOutput());
}

// The printed line of l0 in a document made by Document().
QString PrintedLine(int l0, int size) {
  std::string bytes;
  for (int i = 0; i < 16; ++i) bytes += static_cast<char>('A' + (l0 + i) % 26);
  std::string line;
  AppendDumpLine(line, PrintStyle(), l0, reinterpret_cast<const uint8_t*>(bytes.data()), 0, std::min(16, size - l0));
  return QString::fromLatin1(line).simplified();
}

}  // namespace

class TestOutput : public TGuiTest {
  Q_OBJECT

 private slots:
  void printAndPreview() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
      QSKIP("pdftotext is missing (bash scripts/setup installs it)");
    TFakeFrame frame;
    const int size = 0x1000 + 5;
    const QString file = Box().Path(QStringLiteral("dump.bin"));
    WriteBytes(file, Document(size));
    Teditform* w = frame.OpenWindow(file);
    w->Editor().SetSelStart(0x131);
    w->Editor().SetSelEnd(0x25);
    TDruckerForm& d = frame.Print;
    // No printer: the pages go to a PDF file the user chooses.
    d.Printer().setOutputFormat(QPrinter::PdfFormat);
    d.Printer().setOutputFileName(QString());
    const QString pdf = Box().Path(QStringLiteral("dump.pdf"));
    QString counted;

    Script().ExpectModal(QStringLiteral("DruckerForm"), [&](QDialog& form) {
      form.show();
      [&] {
        QCOMPARE(d.Edit1->text(), QStringLiteral("25"));
        QCOMPARE(d.Edit2->text(), QStringLiteral("131"));
        QCOMPARE(d.Panel2->text(), QStringLiteral("Current Page:1"));
        const QImage preview = d.Image1->pixmap().toImage();
        QVERIFY(!preview.isNull());
        int dark = 0;
        for (int y = 0; y < preview.height(); ++y)
          for (int x = 0; x < preview.width(); ++x) dark += qGray(preview.pixel(x, y)) < 224;
        QVERIFY(dark > 50);
        // Field repair, "Print all", orientation.
        d.Edit2->setText(QStringLiteral("xyz"));
        Q_EMIT d.Edit2->editingFinished();
        QCOMPARE(d.Edit2->text(), QStringLiteral("25"));
        d.Edit2->setText(QStringLiteral("100000"));
        Q_EMIT d.Edit1->editingFinished();
        QCOMPARE(d.Edit2->text(), QStringLiteral("1004"));
        d.Button3->click();
        QCOMPARE(d.Edit1->text(), QStringLiteral("0"));
        d.RadioButton2->click();
        QVERIFY(d.Panel1->width() > d.Panel1->height());
        d.RadioButton1->click();
        QVERIFY(d.Panel1->width() < d.Panel1->height());
        // "Printer Setup" shows the system's dialog and reads the orientation back.
        Script().ExpectModal(QStringLiteral("PrintDialog1"), [&d](QDialog&) {
          d.Printer().setPageOrientation(QPageLayout::Landscape);
          return TModalResult::mrOk;
        });
        d.Button1->click();
        QVERIFY(d.RadioButton2->isChecked());
        d.RadioButton1->click();
        d.Hochformat->click();
        counted = d.Panel2->text();
        QVERIFY(counted.startsWith(QStringLiteral("Sum of all Pages:")));
        Script().ExpectFileDialog(QStringLiteral("PdfDialog"), pdf);
        Script().ExpectShowMessage(QStringLiteral("All Informations sended to your Printer"));
        d.ButtonPrintPortrait->click();
        QVERIFY(!form.isVisible());
      }();
      return TModalResult::mrOk;
    });
    w->Print1->trigger();
    QVERIFY(QFile::exists(pdf));

    // The PDF holds what was asked for, on as many pages as were counted.
    const int pages = counted.mid(17).toInt();
    QCOMPARE(pages, 3);  // 257 lines at 91 a page
    QVERIFY(Run(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))));
    const QString raw = Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    const QString text = raw.simplified();
    QCOMPARE(raw.count(QLatin1Char('\f')), pages);
    QVERIFY(text.contains(file));
    QCOMPARE(text.count(QStringLiteral("Printed by Orvanta Byteloom")), pages);
    QVERIFY(text.contains(QStringLiteral("www.velmora-soft.example")));
    QVERIFY(text.contains(QStringLiteral("Page:3")));
    QVERIFY(text.contains(PrintedLine(0, size)));
    QVERIFY(text.contains(PrintedLine(0x1000, size)));
    QVERIFY(!text.contains(QStringLiteral("0x0001010")));
    QVERIFY(Script().Problems().isEmpty());
  }

  // A print into an existing PDF is one step: Cancel leaves the old file and
  // no other; a complete print replaces it.
  void printToFileIsAllOrNothing() {
    TFakeFrame frame;
    const QString file = Box().Path(QStringLiteral("big.bin"));
    WriteBytes(file, Document(64 * 1024));
    frame.OpenWindow(file);
    TDruckerForm& d = frame.Print;
    const QString pdf = Box().Path(QStringLiteral("old.pdf"));
    WriteBytes(pdf, "old");
    d.Printer().setOutputFormat(QPrinter::PdfFormat);
    d.Printer().setOutputFileName(pdf);
    TLongWork::ShowAfterMs = 0;
    std::function<void()> cancelWhenShown = [&] {
      for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<QProgressDialog*>(top); progress && progress->isVisible())
          return progress->cancel();
      QTimer::singleShot(0, cancelWhenShown);
    };
    QTimer::singleShot(0, cancelWhenShown);
    d.ButtonPrintPortrait->click();
    TLongWork::ShowAfterMs = 500;
    QCOMPARE(d.Panel2->text(), QStringLiteral("Printing cancelled"));
    QCOMPARE(ReadBytes(pdf), QByteArray("old"));
    QCOMPARE(QDir(Box().Path(QString())).entryList({"*pdf*"}, QDir::Files | QDir::Hidden), QStringList{"old.pdf"});
    QCOMPARE(d.Printer().outputFileName(), pdf);
    d.Edit1->setText(QStringLiteral("0"));
    d.Edit2->setText(QStringLiteral("FF"));
    // A full disk (a file size limit stands in for it) is reported, not printed.
    Script().ExpectException(QStringLiteral("The print to %1 failed: the file could not be written completely").arg(pdf));
    {
      TFileSizeLimit full(3000);
      d.ButtonPrintPortrait->click();
    }
    QCOMPARE(ReadBytes(pdf), QByteArray("old"));
    Script().ExpectShowMessage(QStringLiteral("All Informations sended to your Printer"));
    d.ButtonPrintPortrait->click();
    QVERIFY(ReadBytes(pdf).startsWith("%PDF"));
    QCOMPARE(QDir(Box().Path(QString())).entryList({"*pdf*"}, QDir::Files | QDir::Hidden), QStringList{"old.pdf"});
    QVERIFY(Script().Problems().isEmpty());
  }

  // A name chosen without an extension prints to NAME.pdf, and the next
  // print goes there as well.
  void printToANameWithoutExtension() {
    TFakeFrame frame;
    const QString file = Box().Path(QStringLiteral("small.bin"));
    WriteBytes(file, Document(64));
    frame.OpenWindow(file);
    TDruckerForm& d = frame.Print;
    d.Printer().setOutputFormat(QPrinter::PdfFormat);
    d.Printer().setOutputFileName(QString());
    d.Edit1->setText(QStringLiteral("0"));
    d.Edit2->setText(QStringLiteral("3F"));
    Script().ExpectFileDialog(QStringLiteral("PdfDialog"), Box().Path(QStringLiteral("report")));
    Script().ExpectShowMessage(QStringLiteral("All Informations sended to your Printer"));
    d.ButtonPrintPortrait->click();
    d.Printer().setOutputFileName(Box().Path(QStringLiteral("again")));  // as the print dialog names a file
    Script().ExpectShowMessage(QStringLiteral("All Informations sended to your Printer"));
    d.ButtonPrintPortrait->click();
    QCOMPARE(d.Printer().outputFileName(), Box().Path(QStringLiteral("again.pdf")));
    QCOMPARE(QDir(Box().Dir()).entryList({"*.pdf", "report", "again"}, QDir::Files | QDir::Hidden),
             (QStringList{"again.pdf", "report.pdf"}));
    QVERIFY(ReadBytes(Box().Path(QStringLiteral("report.pdf"))).startsWith("%PDF"));
    QVERIFY(Script().Problems().isEmpty());
  }

  void exportAsText() {
    TFakeFrame frame;
    const int size = 0x45;
    const QString file = Box().Path(QStringLiteral("e.bin"));
    WriteBytes(file, Document(size));
    Teditform* w = frame.OpenWindow(file);
    w->Editor().SetSelStart(0x25);
    w->Editor().SetSelEnd(0x31);
    THexExport& d = frame.Export;
    const QString out = Box().Path(QStringLiteral("e.txt"));

    Script().ExpectModal(QStringLiteral("HexExport"), [&](QDialog& form) {
      form.show();
      [&] {
        QCOMPARE(d.Edit1->text(), QStringLiteral("25"));
        QCOMPARE(d.Edit2->text(), QStringLiteral("31"));
        QCOMPARE(d.RangeSize->text(), QStringLiteral("13 bytes"));  // the size of the range, as it is typed
        QVERIFY(d.CheckBox1->isChecked() && d.CheckBox3->isChecked() && d.CheckBox4->isChecked());
        QVERIFY(d.RadioButton3->isChecked() && d.RadioButton2->isHidden());
        d.RadioButton1->click();
        QVERIFY(!d.CheckBox3->isChecked() && !d.CheckBox4->isChecked());
        d.RadioButton3->click();
        QVERIFY(d.CheckBox3->isChecked() && d.CheckBox4->isChecked());
        d.CheckBox3->setChecked(false);
        d.Edit2->setText(QStringLiteral("ZZ"));
        QCOMPARE(d.RangeSize->text(), QStringLiteral("The end is no hex number"));
        Q_EMIT d.Edit2->editingFinished();
        QCOMPARE(d.Edit2->text(), QStringLiteral("25"));
        // Neither field readable: the conversion error names the text as
        // converted, and the fields keep what was typed.
        d.Edit1->setText(QStringLiteral("€ä"));
        d.Edit2->setText(QStringLiteral("ZZ"));
        Script().ExpectException(QStringLiteral("'$€ä' ist kein gültiger Integerwert"));
        Q_EMIT d.Edit2->editingFinished();
        QCOMPARE(d.Edit1->text() + d.Edit2->text(), QStringLiteral("€äZZ"));
        d.Edit1->setText(QStringLiteral("25"));
        d.Edit2->setText(QStringLiteral("31"));
        // A folder that does not exist: the reason is shown, the dialog stays.
        const QString bad = Box().Path(QStringLiteral("none/e.txt"));
        Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), bad);
        Script().ExpectException(QStringLiteral("The export to %1 failed: No such file or directory").arg(bad));
        d.BitBtn1->click();
        QVERIFY(form.isVisible());
        Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), out);
        d.BitBtn1->click();
        QVERIFY(!form.isVisible());
      }();
      return TModalResult::mrOk;
    });
    w->asTextfile1->trigger();
    const QByteArray written = ReadBytes(out);
    QCOMPARE(written, QByteArray(" 0x0000020  4748 494A 4B4C 4D4E 4F50 5152 5354 5556  GHIJKLMNOPQRSTUV\r"
                                 " 0x0000030  5758 595A 4142 4344 4546 4748 494A 4B4C  WXYZABCDEFGHIJKL\r"));
    QVERIFY(Script().Problems().isEmpty());
  }
};

QTEST_MAIN(TestOutput)
#include "test_output.moc"
