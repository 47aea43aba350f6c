// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's smaller commands as the user reaches them: the recent files in
// both File menus, Restore, the Help menu, the about box, the file
// properties of the active editor window, and where the windows open.
#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QTextBrowser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "compare/ui/snapshotform.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/fieldsform.h"
#include "editor/ui/findallform.h"
#include "guitest.h"
#include "shell/helppages.h"
#include "shell/restore.h"
#include "shell/ui/appforms.h"
#include "shell/ui/fileprop.h"
#include "shell/ui/info.h"
#include "shell/ui/mainform.h"

using namespace byteloom;
using namespace byteloom::test;

// Records the addresses the program asks the desktop to open.
class TUrlSink : public QObject {
  Q_OBJECT

 public:
  TUrlSink() {
    for (const char* scheme : {"file", "http", "mailto"})
      QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "Open");
  }
  ~TUrlSink() override {
    for (const char* scheme : {"file", "http", "mailto"}) QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
  }
  QList<QUrl> Opened;

 public slots:
  void Open(const QUrl& url) { Opened << url; }
};

class TestShellCommands : public TGuiTest {
  Q_OBJECT

 public:
  TestShellCommands() : TGuiTest(TStart::Frame) {}

 private:
  QStringList ShownRecent(const std::array<QAction*, 5>& items) {
    QStringList names;
    for (QAction* item : items)
      if (item->isVisible()) names << QFileInfo(item->text()).fileName();
    return names;
  }

 private slots:
  void recentFilesInBothMenus() {
    TMainform& frame = Box().Frame();
    for (const char* name : {"a", "b", "c", "d", "e"}) OpenFile(File(name, "x"));
    QCOMPARE(ShownRecent(frame.RecentFileItems()), (QStringList{"e", "b", "c", "d", "a"}));
    // The editor window mirrors the frame's list; opening its File menu shows
    // the separator in both.
    Teditform* window = frame.ActiveMDIChild();
    QVERIFY(!frame.N5->isVisible());
    emit window->Datei1->aboutToShow();
    QCOMPARE(ShownRecent(window->RecentFileItems()), (QStringList{"e", "b", "c", "d", "a"}));
    QVERIFY(window->N11->isVisible());
    QVERIFY(frame.N5->isVisible());
    // Picking an entry opens it without reordering the list.
    window->File5->trigger();
    QCOMPARE(frame.MDIChildCount(), 6);
    QCOMPARE(frame.ActiveMDIChild()->windowTitle(), Box().Path(QStringLiteral("a")));
    QCOMPARE(ShownRecent(frame.RecentFileItems()), (QStringList{"e", "b", "c", "d", "a"}));
    OpenFile(Box().Path(QStringLiteral("c")));
    QCOMPARE(ShownRecent(frame.RecentFileItems()), (QStringList{"c", "b", "e", "d", "a"}));
  }

  void restoreFromBothMenus() {
    TMainform& frame = Box().Frame();
    const QString game = File("game.sav", "new");
    auto restore = [&](QAction* item, const QString& chosen, TRestoreStatus status, bool open, TMsgDlgType type) {
      TRestoreResult result;
      result.Status = status;
      Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), chosen);
      Script().ExpectMessage(QString::fromStdString(result.Message(chosen.toStdString(), open)), type);
      item->trigger();
    };
    File("game.bak", "old");
    restore(frame.Restore1, game, TRestoreStatus::rsRestored, false, TMsgDlgType::mtInformation);
    QCOMPARE(ReadBytes(game), QByteArray("old"));
    QVERIFY(!QFile::exists(Box().Path(QStringLiteral("game.bak"))));
    // Restored under an open window: the message says the window is stale.
    Teditform* window = OpenFile(game);
    File("game.bak~", "older");
    restore(window->Restore1, game, TRestoreStatus::rsRestored, true, TMsgDlgType::mtInformation);
    QCOMPARE(ReadBytes(game), QByteArray("older"));
    restore(frame.Restore1, Box().Path(QStringLiteral("x.bak")), TRestoreStatus::rsIsBackup, false,
            TMsgDlgType::mtError);
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), QString());  // cancelled: nothing
    frame.Restore1->trigger();
  }

  void helpMenu() {
    TMainform& frame = Box().Frame();
    TUrlSink sink;
    // No help folder beside the program: the warning names where it looked.
    frame.ProgramDir = Box().Path(QStringLiteral("bin/"));
    QDir().mkpath(frame.ProgramDir);
    Script().ExpectMessage(QString::fromStdString(HelpWarning(frame.ProgramDir.toStdString() + "help/")),
                           TMsgDlgType::mtWarning);
    frame.Hilfethemen1->trigger();
    QVERIFY(sink.Opened.isEmpty());
    // Installed: bin/../share/byteloom/help; the toolbar's Help does the same.
    QDir().mkpath(Box().Path(QStringLiteral("share/byteloom/help")));
    const QString page = File("share/byteloom/help/hex.htm", "<html></html>");
    frame.ToolButton14->click();
    frame.Homepage1->trigger();
    frame.eMail1->trigger();
    QCOMPARE(sink.Opened.size(), 3);
    QCOMPARE(sink.Opened[0], QUrl::fromLocalFile(page));
    QCOMPARE(sink.Opened[1].host(), QStringLiteral("www.velmora-soft.example"));
    QCOMPARE(sink.Opened[2], QUrl(QString::fromStdString(MailLink())));
  }

  void helpWithoutABrowser() {
    TMainform& frame = Box().Frame();
    frame.ProgramDir = Box().Path(QStringLiteral("bin/"));
    QDir().mkpath(Box().Path(QStringLiteral("bin/help")));
    File("bin/help/hex.htm", "<html><head><title>Byteloom</title></head><body><a href=\"keys.htm\">Keys</a></body></html>");
    File("bin/help/keys.htm", "<html><body>Keyboard</body></html>");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), nullptr, nullptr);  // nothing can show a page
    frame.Hilfethemen1->trigger();
    auto* window = frame.findChild<QTextBrowser*>(QStringLiteral("HelpWindow"));
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->source(), QUrl::fromLocalFile(Box().Path(QStringLiteral("bin/help/hex.htm"))));
    QCOMPARE(window->documentTitle(), QStringLiteral("Byteloom"));
    window->setSource(QUrl(QStringLiteral("keys.htm")));  // the links between the pages work
    QVERIFY(window->toPlainText().contains(QStringLiteral("Keyboard")));
    frame.Hilfethemen1->trigger();  // one window, shown again
    QCOMPARE(frame.findChildren<QTextBrowser*>().size(), 1);
  }

  void aboutBox() {
    Script().ExpectModal(QStringLiteral("Infoform"), [](QDialog& dialog) {
      auto& info = static_cast<TInfoform&>(dialog);
      [&] {
        QCOMPARE(info.ProductName->text() + info.Version->text(), QStringLiteral("ORVANTAByteloom"));
        QVERIFY(!info.ProgramIcon->pixmap().isNull());
        QVERIFY(info.Memo1->toPlainText().startsWith(QStringLiteral("Version: 1.2\n\nVelmora Software")));
        QVERIFY(info.Memo1->isReadOnly() && info.Memo1->alignment() == Qt::AlignHCenter);
      }();
      info.show();
      info.BitBtn1->click();
      return TModalResult::mrOk;
    });
    Box().Frame().ber1->trigger();
    QVERIFY(!Box().Frame().Forms().Infoform->isVisible());
  }

  void filePropertiesOfTheActiveWindow() {
    const QString path = File("game.sav", QByteArray(1024, 'x'));
    File("game.bak", "");
    QStringList seen;
    auto record = [&seen](QDialog& dialog) {
      auto& p = static_cast<TFileproperties&>(dialog);
      seen << QStringList{p.Name->text(), p.Typ->text(), p.Destination->text(), p.Size->text(), p.Backup->text(),
                          p.LastChange->text()}
                  .join(QLatin1Char('|'));
      return TModalResult::mrCancel;
    };
    Teditform* window = OpenFile(path);
    Script().ExpectModal(QStringLiteral("Fileproperties"), record);
    window->Properties1->trigger();
    // Then a new document: nothing of the previous file stays.
    Box().Frame().Neu1->trigger();
    Script().ExpectModal(QStringLiteral("Fileproperties"), record);
    Box().Frame().ActiveMDIChild()->Properties1->trigger();
    QCOMPARE(seen.size(), 2);
    const QStringList first = seen[0].split(QLatin1Char('|'));
    QCOMPARE(first.mid(0, 5), (QStringList{"game.sav", ".sav File", Box().Dir() + QLatin1Char('/'), "1024 Bytes",
                                           "Yes, a .bak is available"}));
    QVERIFY(first[5] != QStringLiteral("-"));
    QCOMPARE(seen[1], QStringLiteral("-|-|-|-|-|-"));
  }

  // Every window opens inside the screen that holds the frame: with the
  // frame at its place and with the frame mostly off the screen's corner.
  void windowsOpenInsideTheFramesScreen_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QPoint>("frameAt");
    for (const char* window : {"FieldsForm", "SnapshotForm", "HelpWindow", "FindAllForm"})
      for (const auto& [where, at] : {std::pair{"default place", QPoint(-1, -1)}, {"corner", QPoint(1300, 800)},
                                      {"second screen", QPoint(2000, 300)}})
        QTest::addRow("%s, frame at its %s", window, where) << QString::fromLatin1(window) << at;
  }
  void windowsOpenInsideTheFramesScreen() {
    QFETCH(QString, window);
    QFETCH(QPoint, frameAt);
    TMainform& frame = Box().Frame();
    if (frameAt.x() >= 0) frame.move(frameAt);
    Teditform* doc = OpenFile(File(QStringLiteral("a.bin"), QByteArray(64, 'a')));
    QWidget* opened = nullptr;
    if (window == QLatin1String("FieldsForm")) {
      doc->Fields1Click();
      opened = &doc->FieldsForm();
    } else if (window == QLatin1String("SnapshotForm")) {
      frame.Forms().SnapshotForm->ShowSearch();
      opened = frame.Forms().SnapshotForm;
    } else if (window == QLatin1String("HelpWindow")) {
      opened = frame.ShowHelpWindow(File(QStringLiteral("hex.htm"), "<html><body>Help</body></html>"));
    } else {
      doc->FindAll1Click();
      opened = doc->findChild<TFindAllForm*>();
    }
    QVERIFY(opened && opened->isVisible());
    QRect screen;  // the one the frame overlaps most
    for (QScreen* each : QGuiApplication::screens()) {
      const QRect a = each->availableGeometry() & frame.frameGeometry(), b = screen & frame.frameGeometry();
      if (screen.isNull() || a.width() * a.height() > b.width() * b.height()) screen = each->availableGeometry();
    }
    QVERIFY2(screen.contains(opened->frameGeometry()),
             qPrintable(QStringLiteral("%1 at %2,%3 %4x%5").arg(window).arg(opened->x()).arg(opened->y())
                            .arg(opened->width()).arg(opened->height())));
  }
};

QTEST_MAIN(TestShellCommands)
#include "test_shellcmds.moc"
