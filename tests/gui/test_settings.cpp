// SPDX-License-Identifier: GPL-3.0-or-later
// Settings: first start, round trips, damaged values and the preferences
// dialog.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QCheckBox>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/valuepanel.h"
#include "guitest.h"
#include "shell/ui/appforms.h"
#include "shell/ui/mainform.h"
#include "shell/ui/preferen.h"
#include "shell/ui/settings.h"

using namespace byteloom;
using namespace byteloom::test;

class TestSettings : public TGuiTest {
  Q_OBJECT

 private:
  TPreferences& Prefs() { return *Box().Frame().Forms().Preferences; }

  void WriteIni(const QString& text) {
    QDir().mkpath(QFileInfo(Box().SettingsFile()).path());
    WriteBytes(Box().SettingsFile(), text.toUtf8());
  }

 private slots:
  void firstStartWithoutSettings() {
    TMainform& frame = Box().Start();
    QVERIFY(Prefs().Load_Position_Info->isChecked());
    QVERIFY(Prefs().Prg_Language_Notification->isChecked());
    QVERIFY(Prefs().Show_Value_info->isChecked());
    for (QAction* item : frame.RecentFileItems()) QVERIFY(!item->isVisible());
    QVERIFY(!QFile::exists(Box().SettingsFile()));
    // The settings live in the test's own folder.
    QVERIFY(Box().SettingsFile().startsWith(Box().Dir()));
  }

  void roundTrip() {
    TMainform& frame = Box().Start();
    frame.move(40, 60);
    frame.resize(700, 500);
    frame.RecentFiles().Restore(0, "/tmp/one file.sav");
    frame.RecentFiles().Restore(2, "/tmp/drei.sav");
    Prefs().Prg_Language_Notification->setChecked(false);
    Prefs().Show_Value_info->setChecked(false);
    QVERIFY(SaveSettings(frame, Prefs()).isEmpty());
    const QPoint pos = frame.pos();
    Box().Stop();

    QSettings ini(Box().SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("General/Load_Position_Info")).toInt(), 1);
    QCOMPARE(ini.value(QStringLiteral("General/width")).toInt(), 700);
    QCOMPARE(ini.value(QStringLiteral("Editor/Show_Value_Info")).toInt(), 0);
    QCOMPARE(ini.value(QStringLiteral("Editor/Prg_Language_Notification")).toInt(), 0);
    QVERIFY(!ini.value(QStringLiteral("Copyright/Produkt Name")).toString().isEmpty());
    QVERIFY(!ini.value(QStringLiteral("Copyright/eMail")).toString().isEmpty());
    QVERIFY(!ini.contains(QStringLiteral("General/File2")));

    TMainform& again = Box().Start();
    QCOMPARE(again.pos(), pos);
    QCOMPARE(again.size(), QSize(700, 500));
    QCOMPARE(again.File1->text(), QStringLiteral("/tmp/one file.sav"));
    QVERIFY(again.File1->isVisible());
    QVERIFY(!again.File2->isVisible());
    QCOMPARE(again.File3->text(), QStringLiteral("/tmp/drei.sav"));
    QVERIFY(again.File3->isVisible());
    QVERIFY(!Prefs().Prg_Language_Notification->isChecked());
    QVERIFY(!Prefs().Show_Value_info->isChecked());
    QVERIFY(Prefs().Load_Position_Info->isChecked());
    // The stored preference shapes new windows.
    again.Neu1->trigger();
    QVERIFY(again.ActiveMDIChild()->Value_Info_Panel->isHidden());
  }

  void positionIsOnlyRestoredWhenAskedFor() {
    TMainform& frame = Box().Start();
    const QSize initial = frame.size();
    frame.resize(777, 555);
    Prefs().Load_Position_Info->setChecked(false);
    // OK in the dialog stores the settings.
    Script().ExpectModal(QStringLiteral("Preferences"), [](QDialog& dialog) {
      static_cast<TPreferences&>(dialog).BitBtn1->click();
      return TModalResult::mrOk;
    });
    frame.Preferences1->trigger();
    QVERIFY(QFile::exists(Box().SettingsFile()));
    Box().Stop();
    TMainform& again = Box().Start();
    QCOMPARE(again.size(), initial);
    QVERIFY(!Prefs().Load_Position_Info->isChecked());
    // Closing writes them again; the box stays unchecked.
    again.close();
    Box().Stop();
    Box().Start();
    QVERIFY(!Prefs().Load_Position_Info->isChecked());
  }

  void cancelKeepsTheChangeForTheRun() {
    TMainform& frame = Box().Start();
    Script().ExpectModal(QStringLiteral("Preferences"), [](QDialog& dialog) {
      auto& prefs = static_cast<TPreferences&>(dialog);
      prefs.Show_Value_info->setChecked(false);
      prefs.BitBtn2->click();
      return TModalResult::mrCancel;
    });
    frame.Preferences1->trigger();
    QVERIFY(!QFile::exists(Box().SettingsFile()));
    frame.Neu1->trigger();
    QVERIFY(frame.ActiveMDIChild()->Value_Info_Panel->isHidden());
    frame.close();
    QSettings ini(Box().SettingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Editor/Show_Value_Info")).toInt(), 0);
  }

  void dialogLayout() {
    Box().Start();
    TPreferences& prefs = Prefs();
    QCOMPARE(prefs.windowTitle(), QStringLiteral("Preferences"));
    QCOMPARE(prefs.size(), QSize(389, 297));
    QCOMPARE(prefs.PageControl1->count(), 2);
    QCOMPARE(prefs.PageControl1->tabText(0), QStringLiteral("General"));
    QCOMPARE(prefs.PageControl1->tabText(1), QStringLiteral("Editor"));
    QCOMPARE(prefs.Load_Position_Info->text(), QStringLiteral("Load Position Info"));
    QCOMPARE(prefs.Prg_Language_Notification->text(), QStringLiteral("PRG-Language Notification"));
    QCOMPARE(prefs.Show_Value_info->text(), QStringLiteral("Show Value Info"));
    QCOMPARE(prefs.BitBtn1->text(), QStringLiteral("OK"));
    QCOMPARE(prefs.BitBtn2->text(), QStringLiteral("Abbrechen"));
    // Every showing starts on "General".
    prefs.PageControl1->setCurrentIndex(1);
    prefs.show();
    QCOMPARE(prefs.PageControl1->currentIndex(), 0);
    prefs.BitBtn2->click();
    QVERIFY(!prefs.isVisible());
  }

  void damagedValuesKeepTheirDefaults() {
    // The same damaged values under the given heading of the General group.
    const auto damaged = [](const char* general) {
      return QLatin1String(general) + QStringLiteral("\n"
                                                     "Load_Position_Info=perhaps\n"
                                                     "top=abc\n"
                                                     "width=-5\n"
                                                     "File1=\n"
                                                     "File2=/data/two.sav\n"
                                                     "[Editor]\n"
                                                     "Prg_Language_Notification=0\n"
                                                     "Show_Value_Info=@Variant(broken)\n");
    };
    WriteIni(damaged("[General]"));
    // General keeps its values in the "%General" section of an INI file.
    QSettings probe(Box().SettingsFile(), QSettings::IniFormat);
    if (!probe.childGroups().contains(QStringLiteral("General"))) WriteIni(damaged("[%General]"));
    TMainform& frame = Box().Start();
    QVERIFY(Prefs().Load_Position_Info->isChecked());
    QVERIFY(!Prefs().Prg_Language_Notification->isChecked());
    QVERIFY(Prefs().Show_Value_info->isChecked());
    QVERIFY(!frame.File1->isVisible());
    QVERIFY(frame.File2->isVisible());
    QCOMPARE(frame.File2->text(), QStringLiteral("/data/two.sav"));
    QVERIFY(frame.width() > 0);
  }

  void positionValuesAreAppliedWhenPresent() {
    WriteIni(QStringLiteral("[Editor]\nShow_Value_Info=0\n"));
    TMainform& frame = Box().Start();
    QVERIFY(!Prefs().Show_Value_info->isChecked());
    QVERIFY(Prefs().Load_Position_Info->isChecked());
    QVERIFY(frame.isVisible());
  }

  void positionStaysPutFromStartToStart() {
    // Each start stores the outer corner it was placed at; an unreachable one
    // (the title bar above the screen) comes back onto the screen.
    struct Row {
      QPoint stored, placed;
    };
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const Row& r : {Row{{40, 60}, {40, 60}}, Row{{-20, -40}, screen.topLeft()}}) {
      WriteIni(QStringLiteral("[%General]\nLoad_Position_Info=1\ntop=%1\nleft=%2\nwidth=500\nheight=300\n")
                   .arg(r.stored.y())
                   .arg(r.stored.x()));
      for (int start = 0; start < 3; ++start) {
        TMainform& frame = Box().Start();
        QCOMPARE(frame.frameGeometry().topLeft(), r.placed);
        QCOMPARE(frame.size(), QSize(500, 300));
        QVERIFY(SaveSettings(frame, Prefs()).isEmpty());
        Box().Stop();
      }
    }
  }

  // A settings file that is not a regular file is never read or written
  // (a FIFO would hang the start, a device be read until memory runs out,
  // and the link's target be replaced at the end): reported once, files
  // open, the settings of the run are kept in memory.
  void settingsFileThatIsNotARegularFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a device") << "device";
    QTest::newRow("link to a FIFO") << "linkfifo";
  }

  void settingsFileThatIsNotARegularFile() {
    QFETCH(QString, kind);
    const QString ini = Box().SettingsFile();
    QDir().mkpath(QFileInfo(ini).path());
    const QByteArray name = QFile::encodeName(ini);
    QString target;
    if (kind == QLatin1String("fifo")) {
      QCOMPARE(mkfifo(name.constData(), 0600), 0);
    } else if (kind == QLatin1String("linkfifo")) {
      target = Box().Path(QStringLiteral("fifo"));
      QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
      QVERIFY(QFile::link(target, ini));
    } else {
      // A null device of the test's own where it may make one; else the
      // system's, where writing is refused anyway.
      target = Box().Path(QStringLiteral("null"));
      if (mknod(QFile::encodeName(target).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        target = QStringLiteral("/dev/null");
      QVERIFY(QFile::link(target, ini));
    }
    const QString text =
        QStringLiteral("The settings file ") + ini + QStringLiteral(" is not a regular file; settings are not read or kept.");
    Script().ExpectMessage(text, TMsgDlgType::mtWarning);
    TMainform& frame = Box().Start();
    Settle();
    QVERIFY(Prefs().Show_Value_info->isChecked());
    // Files open; the preferences dialog's OK and the end say nothing more.
    Teditform* window = OpenFile(File(QStringLiteral("a.sav"), QByteArray(16, 'a')));
    QVERIFY(window);
    QCOMPARE(window->Editor().DataSize(), 16);
    Prefs().Show_Value_info->setChecked(false);
    QVERIFY(SaveSettings(frame, Prefs()).isEmpty());
    frame.Neu1->trigger();
    QVERIFY(frame.ActiveMDIChild()->Value_Info_Panel->isHidden());  // kept for the run
    frame.close();
    Settle();
    QCOMPARE(Script().Asked().filter(QStringLiteral("settings")).size(), 1);
    struct stat st;
    QCOMPARE(lstat(name.constData(), &st), 0);
    if (kind == QLatin1String("fifo")) {
      QVERIFY(S_ISFIFO(st.st_mode));
    } else {
      QVERIFY(S_ISLNK(st.st_mode));
      QCOMPARE(QFileInfo(ini).symLinkTarget(), target);
      QCOMPARE(stat(QFile::encodeName(target).constData(), &st), 0);
      QVERIFY(kind == QLatin1String("linkfifo") ? S_ISFIFO(st.st_mode) : S_ISCHR(st.st_mode));
    }
    QVERIFY(QDir(QFileInfo(ini).path()).entryList(QDir::Hidden | QDir::Files | QDir::System).size() <= 1);
  }

  // A settings file that became unusable during the run is named once, at
  // the end; one that was fixed during the run is written then.
  void settingsFileChangedDuringTheRun() {
    const QString ini = Box().SettingsFile();
    const QByteArray name = QFile::encodeName(ini);
    TMainform& frame = Box().Start();
    QDir().mkpath(QFileInfo(ini).path());
    QCOMPARE(mkfifo(name.constData(), 0600), 0);
    const QString text =
        QStringLiteral("The settings file ") + ini + QStringLiteral(" is not a regular file; settings are not read or kept.");
    QCOMPARE(SaveSettings(frame, Prefs()), text);
    QVERIFY(SaveSettings(frame, Prefs()).isEmpty());
    QFile::remove(ini);
    QVERIFY(SaveSettings(frame, Prefs()).isEmpty());
    QSettings written(ini, QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("Editor/Show_Value_Info")).toInt(), 1);
  }

  // A link of the user's to a settings file of their own (a dotfiles
  // folder) is followed: the file is read and replaced, the link stays.
  void settingsThroughALinkToTheUsersOwnFile() {
    const QString ini = Box().SettingsFile();
    QDir().mkpath(QFileInfo(ini).path());
    const QString real = Box().Path(QStringLiteral("dotfiles/Tarnwick.ini"));
    QDir().mkpath(QFileInfo(real).path());
    WriteBytes(real, "[Editor]\nShow_Value_Info=0\n");
    QVERIFY(QFile::link(real, ini));
    TMainform& frame = Box().Start();
    QVERIFY(!Prefs().Show_Value_info->isChecked());
    Prefs().Show_Value_info->setChecked(true);
    QVERIFY(SaveSettings(frame, Prefs()).isEmpty());
    QVERIFY(QFileInfo(ini).isSymLink());
    QSettings written(real, QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("Editor/Show_Value_Info")).toInt(), 1);
  }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
