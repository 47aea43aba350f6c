// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot search window as the frame wires it: Tools > "Find a value
// across snapshots...", documents and a file as snapshots, steps with Undo,
// a typo in a value field, the list, double-click to every snapshot window,
// Add to bookmarks with more candidates than free rows, the search
// surviving the window's close and a snapshot window's close, a list of
// billions of candidates as a bounded number of rows, offsets past 4 GiB, and
// columns as wide as their widest value.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "compare/ui/snapshotform.h"
#include "control/bookmarks.h"
#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "guitest.h"
#include "shell/ui/appforms.h"
#include "shell/ui/mainform.h"
#include "tests/support/gametalk.h"
#include "tests/support/patternsource.h"
#include "ui/progress.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

// A u16 big-endian counter at 0x21 rising by one per snapshot, on a
// background of equal bytes.
QByteArray Snapshot(int k) {
  QByteArray data(64, '\x05');
  const int counter = 0x1FE + k;
  data[0x21] = static_cast<char>(counter >> 8);
  data[0x22] = static_cast<char>(counter & 0xFF);
  return data;
}

// How wide the cells of a column in sight want to be.
struct TTableView : QTableView {
  using QTableView::sizeHintForColumn;
};
constexpr auto ContentWidth = &TTableView::sizeHintForColumn;

}  // namespace

class TestSnapshots : public TGuiTest {
  Q_OBJECT

 public:
  TestSnapshots() : TGuiTest(TStart::Frame) {}

 private:
  TSnapshotForm& Form() { return *Box().Frame().Forms().SnapshotForm; }
  void Step(int condition, const QString& first = QString()) {
    Form().ConditionBox->setCurrentIndex(condition);
    Form().FirstEdit->setText(first);
    Form().RunStepButton->click();
  }
  QString Cell(int row, int col) { return Form().CandidateView->model()->index(row, col).data().toString(); }

 private slots:
  void removeSnapshotsAndAStepThatLeavesNothing() {
    Box().Frame().findChild<QAction*>(QStringLiteral("Snapshots1"))->trigger();
    for (int k = 0; k < 3; ++k) {
      const QString path = Box().Path(QStringLiteral("r%1.sav").arg(k));
      WriteBytes(path, Snapshot(k));
      Script().ExpectFileDialog(QStringLiteral("SnapshotFileDialog"), path);
      Form().AddFileButton->click();
    }
    // Not compared yet: it just goes.
    Form().SnapshotList->setCurrentRow(2);
    Form().RemoveSnapshotButton->click();
    QCOMPARE(Form().SnapshotList->count(), 2);
    // u32 little endian finds no value that decreased: the hint, and Yes takes the step back.
    Script().ExpectMessage(QString::fromStdString(NoCandidateText(Form().Search().Format())),
                           TMsgDlgType::mtConfirmation, TModalResult::mrYes);
    Step(3);
    QVERIFY(QString::fromStdString(NoCandidateText(Form().Search().Format())).contains(QStringLiteral("byte order")));
    QCOMPARE(Form().Search().StepCount(), 0);
    QCOMPARE(Form().Search().Candidates().Count(), 61);  // every offset of a u32 in 64 bytes again
    Step(0);  // changed
    QCOMPARE(Form().Search().StepCount(), 1);
    // A snapshot the step compared: the search starts over.
    Script().ExpectMessage(QStringLiteral("The search starts over: the removed snapshot was part of its steps."),
                           TMsgDlgType::mtInformation);
    Form().SnapshotList->setCurrentRow(1);
    Form().RemoveSnapshotButton->click();
    QCOMPARE(Form().Search().StepCount(), 0);
    QCOMPARE(Form().SnapshotList->count(), 1);
  }

  // Several files chosen at once are added in the order chosen; one that
  // is no file is named and left out.
  void addFileTakesSeveralFilesInTheirOrder() {
    Box().Frame().findChild<QAction*>(QStringLiteral("Snapshots1"))->trigger();
    QStringList chosen;
    for (const char* name : {"c.sav", "a.sav", "folder", "b.sav"}) chosen << Box().Path(QLatin1String(name));
    for (int k : {0, 1, 3}) WriteBytes(chosen[k], Snapshot(k));
    QVERIFY(QDir().mkdir(chosen[2]));
    Script().ExpectFileDialog(QStringLiteral("SnapshotFileDialog"), chosen.join(QLatin1Char('\n')));
    Script().ExpectMessage(chosen[2] + QStringLiteral(" is not a regular file"), TMsgDlgType::mtError);
    Form().AddFileButton->click();
    QStringList listed;
    for (int k = 0; k < Form().SnapshotList->count(); ++k) listed << Form().SnapshotList->item(k)->text();
    QCOMPARE(listed, (QStringList{QStringLiteral("1: ") + chosen[0], QStringLiteral("2: ") + chosen[1], QStringLiteral("3: ") + chosen[3]}));
  }

  void narrowsDocumentsAndAFileToTheCounter() {
    for (int k = 0; k < 3; ++k) WriteBytes(Box().Path(QStringLiteral("s%1.sav").arg(k)), Snapshot(k));
    OpenFile(Box().Path(QStringLiteral("s0.sav")));
    OpenFile(Box().Path(QStringLiteral("s1.sav")));
    TMainform& frame = Box().Frame();
    frame.findChild<QAction*>(QStringLiteral("Snapshots1"))->trigger();
    QVERIFY(Form().isVisible());
    // The document box lists the open documents; the active one (s1) first.
    QCOMPARE(Form().DocumentBox->count(), 2);
    Form().DocumentBox->setCurrentIndex(1);
    Form().AddDocumentButton->click();
    Form().DocumentBox->setCurrentIndex(0);
    Form().AddDocumentButton->click();
    Script().ExpectFileDialog(QStringLiteral("SnapshotFileDialog"), Box().Path(QStringLiteral("s2.sav")));
    Form().AddFileButton->click();
    QCOMPARE(Form().SnapshotList->count(), 3);
    QCOMPARE(Form().SnapshotList->item(2)->text(), QStringLiteral("3: ") + Box().Path(QStringLiteral("s2.sav")));

    Form().TypeBox->setCurrentIndex(1);   // u16
    Form().OrderBox->setCurrentIndex(1);  // big endian
    Script().ExpectMessage(QStringLiteral("'x1' is not a u16 value"), TMsgDlgType::mtWarning);
    Step(4, QStringLiteral("x1"));  // increased by N
    QCOMPARE(Form().Search().StepCount(), 0);
    Step(4, QStringLiteral("1"));
    QCOMPARE(Form().CountLabel->text(), QStringLiteral("1 candidate after 1 step."));
    QVERIFY(!Form().TypeBox->isEnabled());
    Step(4, QStringLiteral("$1"));  // 0x01FF -> 0x0200, a carry
    QVERIFY(!Form().RunStepButton->isEnabled());
    QCOMPARE(Form().CountLabel->text(), QStringLiteral("1 candidate after 2 steps. Add snapshot 4 before the next step."));
    QCOMPARE(Form().CandidateView->model()->rowCount(), 1);
    QCOMPARE(Cell(0, 0) + " " + Cell(0, 1) + " " + Cell(0, 2) + " " + Cell(0, 3), QStringLiteral("00000021 510 511 512"));

    // Double-click: both document windows go to the counter.
    Form().CandidateDoubleClick(0);
    QCOMPARE(frame.DocumentEditor(0).GetCursorPos(), 0x21);
    QCOMPARE(frame.DocumentEditor(1).GetCursorPos(), 0x21);

    // Undo step, then an "unchanged" step leaves 61 candidates; seven chosen
    // of them meet five free bookmark rows.
    Form().UndoStepButton->click();
    QCOMPARE(Form().Search().StepCount(), 1);
    Form().UndoStepButton->click();
    Step(1);
    QCOMPARE(Form().CandidateView->model()->rowCount(), 61);  // all but 0x21 and 0x22
    for (int row = 10; row < 17; ++row)
      Form().CandidateView->selectionModel()->select(Form().CandidateView->model()->index(row, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Script().ExpectMessage(QStringLiteral("5 candidates added to the bookmarks; 2 more found no free row (there are "
                                          "five bookmarks; clear some under Bookmarks > Edit Bookmark)."),
                           TMsgDlgType::mtInformation);
    Form().BookmarkButton->click();
    QCOMPARE(Box().Frame().Bookmarks().Cell(0, 1) + " " + Box().Frame().Bookmarks().Cell(0, 5), std::string("$0A $0E"));

    // Closing the window keeps the search; closing a snapshot's window
    // marks it, a step that needs it is refused, and New search drops it.
    Form().close();
    frame.findChild<QAction*>(QStringLiteral("Snapshots1"))->trigger();
    QCOMPARE(Form().Search().StepCount(), 1);
    Form().NewSearchButton->click();
    frame.ActiveMDIChild()->close();
    Settle();
    Form().ShowSearch();
    QVERIFY(Form().SnapshotList->item(1)->text().endsWith(QStringLiteral(" (closed)")));
    QVERIFY(!Form().RunStepButton->isEnabled());
    QCOMPARE(Cell(0, 2), QString());
    Form().NewSearchButton->click();
    QCOMPARE(Form().SnapshotList->count(), 2);
    QVERIFY(Form().RunStepButton->isEnabled());

    // A long step shows its progress; Cancel leaves every offset a candidate
    // and the list empty while it runs, also when the window is shown anew.
    TLongWork::ShowAfterMs = 0;
    TSnapshotSearch::PieceOffsets = 16;
    bool sawProgress = false;
    std::function<void()> cancelWhenShown = [&] {
      if (auto* progress = Form().findChild<QProgressDialog*>(QStringLiteral("ProgressDialog"))) {
        Form().ShowSearch();  // Tools > "Find a value across snapshots..." meanwhile
        sawProgress = progress->isVisible() && Form().CandidateView->model()->rowCount() == 0;
        progress->cancel();
      } else {
        QTimer::singleShot(0, cancelWhenShown);
      }
    };
    QTimer::singleShot(0, cancelWhenShown);
    Step(0);  // changed
    TLongWork::ShowAfterMs = 500;
    TSnapshotSearch::PieceOffsets = 1 << 18;
    QVERIFY(sawProgress);
    QCOMPARE(Form().Search().StepCount(), 0);
    QCOMPARE(Form().CandidateView->model()->rowCount(), 63);
  }

  // Two snapshots of 2 GiB, the second different in every 2003rd byte.
  void hugeSearchesListBoundedRowsAndNoMemoryWhenClosed() {
    Box().Frame().findChild<QAction*>(QStringLiteral("Snapshots1"))->trigger();
    for (int k = 0; k < 2; ++k)
      Form().Search().AddSource(std::make_unique<TPatternSource>(std::numeric_limits<int32_t>::max(), 0, 2003 * k), "huge");
    Form().NewSearchButton->click();
    QCOMPARE(Form().CandidateView->verticalHeader()->count(), TCandidateModel::kListedRows);
    QVERIFY(Form().CountLabel->text().contains(QStringLiteral(" candidates after 0 steps; the list shows the first ")));
    Step(0);  // changed: a list of 8 MiB
    const int64_t count = Form().Search().Candidates().Count();
    QVERIFY(count > TCandidateModel::kListedRows && Form().Search().MemoryBytes() > (4u << 20));
    Form().close();
    QVERIFY(Form().Search().MemoryBytes() < (64u << 10) && Form().CandidateView->model()->rowCount() == 0);
    Form().ShowSearch();
    QCOMPARE(Form().Search().Candidates().Count(), count);
  }

  // A candidate past 4 GiB shows every digit, in a column as wide as they are.
  void offsetsPastFourGiB() {
    Box().Frame().findChild<QAction*>(QStringLiteral("Snapshots1"))->trigger();
    const int64_t size = (int64_t{1} << 32) + 17;
    Form().Search().AddSource(std::make_unique<TPatternSource>(size, 0), "before");
    Form().Search().AddSource(std::make_unique<TPatternSource>(size, 0, 0, 0, TPatternSource::TBytes{{size - 9, 1}}), "after");
    Form().TypeBox->setCurrentIndex(0);  // u8: a new search
    Step(0);  // changed
    QCOMPARE(Cell(0, 0) + " " + Cell(0, 1) + " " + Cell(0, 2), QStringLiteral("100000008 0 1"));
    QVERIFY(Form().CandidateView->columnWidth(0) >= (Form().CandidateView->*ContentWidth)(0));
  }

  // Each type's widest values at the first offsets: f64, f32, i64, u64.
  // The test game's gold through its window: Take snapshot from the frame
  // and the window, a step against the memory now, the address and the
  // value now listed, double-click to the address, and the game's end.
  void followsARunningGame() {
    TGame game;
    const uint64_t gold = game.Where().at("gold");
    TMainform& frame = Box().Frame();
    frame.OpenProcessWindow(game.Pid(), nullptr);
    THexEditor& window = frame.ActiveMDIChild()->Editor();
    frame.TakeSnapshot1->trigger();
    QVERIFY(Form().isVisible());
    QVERIFY(Form().MemoryNowBox->isEnabled());
    const auto header = [this](int section) {
      return Form().CandidateView->model()->headerData(section, Qt::Horizontal).toString();
    };
    QCOMPARE(header(0) + QLatin1Char(',') + header(1) + QLatin1Char(',') + header(2), QStringLiteral("Address (hex),Snapshot 1,Now"));
    game.Ask("earn 15");
    Form().TakeSnapshotButton->click();
    Step(2);  // increased
    game.Ask("earn 15");
    Form().MemoryNowBox->setChecked(true);
    Step(6, QStringLiteral("150"));  // equals V, against the memory now
    QCOMPARE(Form().Search().SnapshotCount(), 3);
    int row = 0;
    const QString address = QString::number(gold, 16).toUpper();
    while (row < Form().Search().Candidates().Count() && Cell(row, 0) != address) ++row;
    QVERIFY(row < Form().Search().Candidates().Count());
    QCOMPARE(header(4), QStringLiteral("Now"));
    QCOMPARE(Cell(row, 4), QStringLiteral("150"));
    game.Ask("earn 1");
    Form().LiveTick();
    QCOMPARE(Cell(row, 4) + QLatin1Char(' ') + Cell(row, 3), QStringLiteral("151 150"));
    emit Form().CandidateView->doubleClicked(Form().CandidateView->model()->index(row, 0));
    QCOMPARE(window.AddressOf(window.GetCursorPos()), gold);
    game.Kill();
    Form().LiveTick();
    QCOMPARE(Cell(row, 4), QLatin1String(TSnapshotSearch::kEndedMark));
    QVERIFY(!Form().MemoryNowBox->isEnabled());
    QVERIFY(Form().CountLabel->text().contains(QStringLiteral("has ended; the snapshots taken stay usable")));
    // The ended game's window still takes the caret to the address.
    window.Seek(0, 0, true);
    window.RefreshLive();
    emit Form().CandidateView->doubleClicked(Form().CandidateView->model()->index(row, 0));
    QCOMPARE(window.AddressOf(window.GetCursorPos()), gold);
  }

  void everyColumnFitsItsWidestValue() {
    const uint8_t widest[] = {0, 0, 0, 0, 0, 0, 0x10, 0x80, 0x4F, 0x37, 0x42, 0x99, 0, 0, 0, 0, 0, 0, 0, 0x80,
                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    TPatternSource::TBytes bytes;
    for (int32_t k = 0; k < int32_t{sizeof widest}; ++k) bytes.emplace_back(k, widest[k]);
    Box().Frame().findChild<QAction*>(QStringLiteral("Snapshots1"))->trigger();
    Form().resize(640, 1200);  // every row with a widest value in sight
    for (int k = 0; k < 2; ++k) Form().Search().AddSource(std::make_unique<TPatternSource>(32, 0, 0, 0, bytes), "widest");
    QTableView& view = *Form().CandidateView;
    for (int type = 0; type < kValueTypeCount; ++type) {
      Form().TypeBox->setCurrentIndex(type);
      Form().NewSearchButton->click();
      for (int column = 0; column < view.model()->columnCount(); ++column)
        QVERIFY2(view.columnWidth(column) >= (view.*ContentWidth)(column), qPrintable(Form().TypeBox->currentText()));
    }
  }
};

QTEST_MAIN(TestSnapshots)
#include "test_snapshots.moc"
