// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery question at start and the backup question before a save.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/wait.h>

#include <csignal>
#include <unistd.h>

#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "guitest.h"
#include "tests/support/fakehost.h"
#include "shell/ui/mainform.h"
#include "ui/progress.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

// Leaves the journal of a session that changed file to bytes and ended
// without saving, as a crash would (its file is made first where it is
// missing).
void LeaveUnsavedSession(const QString& file, const QByteArray& bytes) {
  if (!QFile::exists(file)) WriteBytes(file, QByteArray("old"));
  const pid_t child = fork();
  if (child == 0) {
    TFakeHost host;
    auto* ed = new THexEditor(host);  // never destroyed: the session dies
    host.Target = ed;
    ed->Loaded();
    if (!ed->LoadFromFile(file.toStdString())) _exit(1);
    ed->SetSelStart(0);
    ed->SetSelEnd(ed->DataSize() - 1);
    ed->ReplaceSelection(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int32_t>(bytes.size()));
    _exit(0);
  }
  waitpid(child, nullptr, 0);
}

QStringList WorkFolderFiles() { return QDir(QString::fromStdString(WorkFolder())).entryList(QDir::Files); }

}  // namespace

class TestRecovery : public TGuiTest {
  Q_OBJECT

 private slots:
  void yesOpensTheRecoveredDocumentAsModified() {
    const QString file = Box().Path(QStringLiteral("game.sav"));
    WriteBytes(file, QByteArray("old bytes"));
    LeaveUnsavedSession(file, QByteArray("new bytes!"));
    Script().ExpectMessage(QStringLiteral("Recover unsaved changes of ") + file + QStringLiteral("?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrYes);
    TMainform& frame = Box().Start();
    Teditform* window = frame.ActiveMDIChild();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), file + QLatin1Char('*'));
    THexEditor& ed = window->Editor();
    QVERIFY(ed.Modified());
    QCOMPARE(ed.FileName(), file.toStdString());
    QCOMPARE(DocumentBytes(ed), QByteArray("new bytes!"));
    QVERIFY(frame.ToolButton4->isEnabled());
    QCOMPARE(WorkFolderFiles().size(), 3);  // the recovered document's own
    QCOMPARE(ReadBytes(file), QByteArray("old bytes"));  // saved only by the user
    frame.ToolButton4->click();
    QCOMPARE(ReadBytes(file), QByteArray("new bytes!"));
    QCOMPARE(ReadBytes(Box().Path(QStringLiteral("game.bak"))), QByteArray("old bytes"));
  }

  void noDeletesTheWorkingCopy() {
    LeaveUnsavedSession(Box().Path(QStringLiteral("x.bin")), QByteArray("abc"));
    Script().ExpectMessage(QStringLiteral("Recover unsaved changes of ") + Box().Path(QStringLiteral("x.bin")) +
                               QStringLiteral("?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    TMainform& frame = Box().Start();
    QVERIFY(!frame.ActiveMDIChild());
    QVERIFY(WorkFolderFiles().isEmpty());
  }

  // The question comes while the frame is being shown at start, before it is
  // on screen: in the middle of the screen, not around the frame's first
  // place. Later questions are centred on the frame.
  void questionsAreCentred() {
    LeaveUnsavedSession(Box().Path(QStringLiteral("x.bin")), QByteArray("abc"));
    SetDialogService(nullptr);  // the real message boxes
    const auto scripted = qScopeGuard([this] { SetDialogService(&Script()); });
    QList<QPoint> centres;
    QTimer answer;  // notes where the next box shows and answers "&Nein"
    connect(&answer, &QTimer::timeout, this, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) {
        answer.stop();
        centres << box->frameGeometry().center();
        box->buttons().last()->click();
      }
    });
    answer.start(5);
    TMainform& frame = Box().Start();
    frame.move(30, 40);
    QCoreApplication::processEvents();
    answer.start(5);
    Dialogs().MessageDlg(&frame, QStringLiteral("later"), TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo);
    const QList<QPoint> expected{frame.screen()->availableGeometry().center(), frame.frameGeometry().center()};
    QCOMPARE(centres.size(), 2);
    for (int i = 0; i < 2; ++i) QVERIFY2((centres[i] - expected[i]).manhattanLength() <= 2, i ? "later" : "at start");
  }

  // SIGTERM or SIGHUP, with no one to answer: the unsaved document keeps its
  // working copy and journal for the next start, the saved one closes and
  // its copy goes, the settings are written and the program ends with 0;
  // long work under way is stopped first.
  void anEndSignalKeepsUnsavedDocumentsRecoverable_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
  }
  void anEndSignalKeepsUnsavedDocumentsRecoverable() {
    QFETCH(int, signal);
    const QString changed = File(QStringLiteral("a.sav"), "aaaa"), saved = File(QStringLiteral("b.sav"), "bbbb");
    TMainform& frame = Box().Start({changed.toStdString(), saved.toStdString()});
    QCOMPARE(frame.MDIChildCount(), 2);
    for (int i = 0; i < 2; ++i)
      if (frame.MDIChildren(i)->Editor().FileName() == changed.toStdString()) TypeByte(*frame.MDIChildren(i), 0, 'X');
    const QDir folder(QString::fromStdString(WorkFolder()));
    QCOMPARE(folder.entryList(QDir::Files).size(), 4);
    QList<int> exits;
    frame.WatchEndSignals([&exits](int code) { exits << code; });
    {
      TLongWork work(&frame, QStringLiteral("Working..."), true);
      raise(signal);
      QTRY_VERIFY(!work.Step(0, 1));
      QVERIFY(exits.isEmpty());
    }
    QTRY_COMPARE(exits, QList<int>{0});
    QCOMPARE(frame.MDIChildCount(), 1);
    QCOMPARE(frame.MDIChildren(0)->Editor().FileName(), changed.toStdString());
    const QStringList left = folder.entryList(QDir::Files);
    QCOMPARE(left.size(), 3);  // the copy of a.sav, the added bytes, the journal
    QCOMPARE(left.filter(QStringLiteral(".BLWJ")).size(), 1);
    QVERIFY(QFile::exists(Box().SettingsFile()));
    TLongWork later(&frame, QStringLiteral("Working..."), true);
    QVERIFY(later.Step(0, 1));
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
