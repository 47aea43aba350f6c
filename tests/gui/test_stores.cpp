// SPDX-License-Identifier: GPL-3.0-or-later
// Stores in the running program: a bookmarks file that is a FIFO, a link to
// a device, unreadable or huge is reported once and skipped, and files open
// as ever; Restore asks before putting another file's backup over a file.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "control/backups.h"
#include "control/bookmarks.h"
#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "guitest.h"
#include "shell/ui/mainform.h"

using namespace byteloom;
using namespace byteloom::test;

class TestStores : public TGuiTest {
  Q_OBJECT

 public:
  TestStores() : TGuiTest(TStart::Frame) {}

 private:
  QString MarksFile() { return QFileInfo(Box().SettingsFile()).absolutePath() + QStringLiteral("/bookmarks.txt"); }
  static QByteArray Name(const QString& path) { return QFile::encodeName(path); }

 private slots:
  void bookmarksThatCannotBeUsed_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("problem");
    QTest::newRow("FIFO") << "fifo" << "is not a regular file";
    QTest::newRow("link to a device") << "device" << "is not a regular file";
    QTest::newRow("unreadable") << "unreadable" << "cannot be read: Permission denied";
    QTest::newRow("100 MB") << "huge" << "is larger than 16 MiB";
  }

  void bookmarksThatCannotBeUsed() {
    QFETCH(QString, kind);
    QFETCH(QString, problem);
    const QString marks = MarksFile();
    QDir().mkpath(QFileInfo(marks).absolutePath());
    QString device;
    if (kind == QLatin1String("fifo")) {
      QCOMPARE(mkfifo(Name(marks).constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
      // A device of the test's own where it may make one (a null device),
      // else the system's.
      device = Box().Path(QStringLiteral("null"));
      if (mknod(Name(device).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0) device = QStringLiteral("/dev/zero");
      QVERIFY(QFile::link(device, marks));
    } else if (kind == QLatin1String("unreadable")) {
      if (geteuid() == 0) QSKIP("root reads every file");
      WriteBytes(marks, "/x\t1\tmine\n");
      QFile::setPermissions(marks, {});
    } else {
      WriteBytes(marks, {});
      QCOMPARE(truncate(Name(marks).constData(), 100 << 20), 0);
    }
    const QString text = QStringLiteral("The bookmarks file ") + marks + QLatin1Char(' ') + problem +
                         QStringLiteral("; bookmarks are not read from it or kept in it.");
    // The warning comes once the open is over.
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), File(QStringLiteral("a.sav"), QByteArray(64, 'a')));
    Script().ExpectMessage(text, TMsgDlgType::mtWarning);
    Box().Frame().ffnen1->trigger();
    Settle();
    Teditform* a = Box().Frame().ActiveMDIChild();
    QVERIFY(a);
    QCOMPARE(a->windowTitle(), Box().Path(QStringLiteral("a.sav")));
    QCOMPARE(a->Editor().DataSize(), 64);
    // Once per run: the next file opens without a word, a bookmark is made
    // (shown, not kept).
    Teditform* b = OpenFile(File(QStringLiteral("b.sav"), QByteArray(32, 'b')));
    Settle();
    QVERIFY(b && b != a);
    QCOMPARE(b->Editor().DataSize(), 32);
    for (int r = 1; r <= TBookmarkTable::kBookmarks; ++r) Box().Frame().Bookmarks().SetCell(0, r, {});
    b->Editor().Seek(5, 0, true);
    b->AddBookmark1->trigger();
    Settle();
    QCOMPARE(QString::fromStdString(Box().Frame().Bookmarks().Cell(0, 1)), QStringLiteral("$05"));
    QCOMPARE(Script().Asked().filter(QStringLiteral("bookmarks")).size(), 1);
    // The store is as it was.
    const QFileInfo info(marks);
    if (kind == QLatin1String("fifo")) {
      struct stat st;
      QCOMPARE(lstat(Name(marks).constData(), &st), 0);
      QVERIFY(S_ISFIFO(st.st_mode));
    } else if (kind == QLatin1String("device")) {
      QVERIFY(info.isSymLink());
      QCOMPARE(info.symLinkTarget(), device);
      struct stat st;
      QCOMPARE(stat(Name(device).constData(), &st), 0);
      QVERIFY(S_ISCHR(st.st_mode));
    } else if (kind == QLatin1String("unreadable")) {
      QFile::setPermissions(marks, QFile::ReadOwner | QFile::WriteOwner);
      QCOMPARE(ReadBytes(marks), QByteArray("/x\t1\tmine\n"));
    } else {
      QCOMPARE(info.size(), qint64(100) << 20);
    }
  }

  void bookmarksKeepLinesOfOthers() {
    const QString marks = MarksFile();
    QDir().mkpath(QFileInfo(marks).absolutePath());
    WriteBytes(marks, "# kept by hand\n");
    Teditform* a = OpenFile(File(QStringLiteral("a.sav"), QByteArray(64, 'a')));
    for (int r = 1; r <= TBookmarkTable::kBookmarks; ++r) Box().Frame().Bookmarks().SetCell(0, r, {});
    a->Editor().Seek(7, 0, true);
    a->AddBookmark1->trigger();
    const QByteArray kept = ReadBytes(marks);
    QVERIFY2(kept.startsWith(QByteArray("# kept by hand\n") + Name(Box().Path(QStringLiteral("a.sav"))) + "\t$07\t"),
             kept.constData());
  }

  void restoreAsksAboutAnotherFilesBackup() {
    TMainform& frame = Box().Frame();
    const QString sav = File(QStringLiteral("game.sav"), "sav");
    const QString dat = File(QStringLiteral("game.dat"), "dat");
    const QString bak = File(QStringLiteral("game.bak"), "backup of sav");
    MarkBackup(bak.toStdString(), sav.toStdString());
    const QString question = QStringLiteral(
        "game.bak is the backup of game.sav, not of game.dat. Restore it over game.dat all the same?");
    // No: nothing changes, nothing more is said.
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), dat);
    Script().ExpectMessage(question, TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    frame.Restore1->trigger();
    QCOMPARE(ReadBytes(dat), QByteArray("dat"));
    QCOMPARE(ReadBytes(bak), QByteArray("backup of sav"));
    // Yes: restored, as the message says.
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), dat);
    Script().ExpectMessage(question, TMsgDlgType::mtConfirmation, TModalResult::mrYes);
    Script().ExpectMessage(QStringLiteral("File: ") + dat + QStringLiteral(" succesfully Restored"),
                           TMsgDlgType::mtInformation);
    frame.Restore1->trigger();
    QCOMPARE(ReadBytes(dat), QByteArray("backup of sav"));
    QVERIFY(!QFile::exists(bak));
    // The file's own backup: no question.
    File(QStringLiteral("game.bak"), "older sav");
    MarkBackup(bak.toStdString(), sav.toStdString());
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), sav);
    Script().ExpectMessage(QStringLiteral("File: ") + sav + QStringLiteral(" succesfully Restored"),
                           TMsgDlgType::mtInformation);
    frame.Restore1->trigger();
    QCOMPARE(ReadBytes(sav), QByteArray("older sav"));
  }
};

QTEST_MAIN(TestStores)
#include "test_stores.moc"
