// The recovery question at start and the backup question before a save.
#include <QTest>
#include <QToolButton>

#include <sys/wait.h>
#include <unistd.h>

#include "control/hexeditor.h"
#include "editor/Editwin.h"
#include "guitest.h"
#include "shell/mainform.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

// Leaves a working copy with unsaved changes of file, as a crashed session
// would: its sidecar names a process that has ended.
QString LeaveWorkingCopy(TSandbox& box, const QString& file, const QByteArray& bytes) {
  const QString work = QString::fromStdString(WorkFolder()) + QStringLiteral("00C0FFEE.BLWT");
  WriteBytes(work, bytes);
  const pid_t child = fork();
  if (child == 0) {
    WriteRecoveryInfo(work.toStdString(), file.toStdString(), true);
    _exit(0);
  }
  waitpid(child, nullptr, 0);
  return work;
}

}  // namespace

class TestRecovery : public TGuiTest {
  Q_OBJECT

 private slots:
  void yesOpensTheRecoveredDocumentAsModified() {
    const QString file = Box().Path(QStringLiteral("game.sav"));
    WriteBytes(file, QByteArray("old bytes"));
    const QString work = LeaveWorkingCopy(Box(), file, QByteArray("new bytes!"));
    Script().ExpectMessage(QStringLiteral("Recover unsaved changes of ") + file + QStringLiteral("?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrYes);
    TMainform& frame = Box().Start();
    Teditform* window = frame.ActiveMDIChild();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), file);
    THexEditor& ed = window->Editor();
    QVERIFY(ed.Modified());
    QCOMPARE(ed.FileName(), file.toStdString());
    std::vector<uint8_t> bytes;
    QVERIFY(ed.SaveToStream(bytes));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())),
             QByteArray("new bytes!"));
    QVERIFY(frame.ToolButton4->isEnabled());
    QVERIFY(!QFile::exists(work));
    QCOMPARE(ReadBytes(file), QByteArray("old bytes"));  // saved only by the user
    frame.ToolButton4->click();
    QCOMPARE(ReadBytes(file), QByteArray("new bytes!"));
    QCOMPARE(ReadBytes(Box().Path(QStringLiteral("game.bak"))), QByteArray("old bytes"));
  }

  void noDeletesTheWorkingCopy() {
    const QString work = LeaveWorkingCopy(Box(), Box().Path(QStringLiteral("x.bin")), QByteArray("abc"));
    Script().ExpectMessage(QStringLiteral("Recover unsaved changes of ") + Box().Path(QStringLiteral("x.bin")) +
                               QStringLiteral("?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    TMainform& frame = Box().Start();
    QVERIFY(!frame.ActiveMDIChild());
    QVERIFY(!QFile::exists(work));
  }

  void aForeignBackupIsReplacedOnlyOnTheUsersWord() {
    Box().Start();
    const QString file = Box().Path(QStringLiteral("game.sav"));
    const QString bak = Box().Path(QStringLiteral("game.bak"));
    WriteBytes(file, QByteArray("saved game"));
    WriteBytes(bak, QByteArray("my notes"));
    Teditform* window = OpenFile(file);
    TypeByte(*window, 0, 'S');
    const QString question = QStringLiteral("game.bak exists and is not a backup of game.sav. Replace it?");
    Script().ExpectMessage(question, TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    Script().ExpectErrorBox(QStringLiteral("Cannot save file"));
    window->Speichern1Click();
    QCOMPARE(ReadBytes(bak), QByteArray("my notes"));
    QCOMPARE(ReadBytes(file), QByteArray("saved game"));
    Script().ExpectMessage(question, TMsgDlgType::mtConfirmation, TModalResult::mrYes);
    window->Speichern1Click();
    QCOMPARE(ReadBytes(bak), QByteArray("saved game"));
    QCOMPARE(ReadBytes(file), QByteArray("Saved game"));
  }
};

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
