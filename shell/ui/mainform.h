// SPDX-License-Identifier: GPL-3.0-or-later
// TMainform: the main frame. It owns the menu bar, the toolbar, the status
// bar, the shared open and save dialogs and the MDI area with one editor
// window per open document. It creates editor windows for New, Open, a
// recent file and the command line, forwards its toolbar buttons to the
// active editor window, arranges the windows and paints a logo with a tip
// line on the empty client area.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/bookmarks.h"
#include "control/documents.h"
#include "editor/findexpr.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "shell/recentfiles.h"
#include "shell/ui/appforms.h"
#include "ui/dialogservice.h"

class QLabel;
class QTextBrowser;
class QMdiArea;
class QMdiSubWindow;
class QMenuBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class QAction;
class QMenu;
class QSocketNotifier;

namespace byteloom {

class TPreferences;
class TSideBySideChoice;
class TSideBySideView;

// The tip lines under the logo (r = 0..6) and the status bar texts (s = 0..6).
QString TipLine(int r);
QString StatusLine(int s);

class TMainform : public QMainWindow, public TFrameLink, public TDocumentList {
 public:
  explicit TMainform(QWidget* parent = nullptr);
  ~TMainform() override;

  // The program's arguments after its name: a file, a start offset.
  void SetParams(const std::vector<std::string>& params) { FParams = params; }
  // The dialogs the frame owns (its children), made once at start.
  void SetForms(const TForms& forms) { FForms = forms; }
  const TForms& Forms() const { return FForms; }
  TPreferences* Preferences() const { return FForms.Preferences; }
  // The random numbers of the background paint (0..6); a test may fix them.
  void SetRandom(std::function<int()> random) { FRandom = std::move(random); }

  // --- TFrameLink ------------------------------------------------------------------
  void SetItemEnabled(TFrameItem item, bool enabled) override;
  bool ItemEnabled(TFrameItem item) const override;
  void RunCommand(TFrameCommand command, int index = 0) override;
  std::array<TRecentEntry, 5> RecentEntries() const override;
  bool RecentSeparatorShown() const override;
  void ShowRecentSeparator() override;
  TFileDialog& OpenDialog() override { return *OpenDialog1; }
  TFileDialog& SaveDialog() override { return *SaveDialog1; }
  TSearchReplace& SearchDialog() override;
  QDialog& PrintForm() override;
  QDialog& ExportForm() override;
  int MDIChildCount() const override;
  Teditform* MDIChildren(int index) const override;
  Teditform* ActiveMDIChild() const override;
  bool ShowValueInfoPreference() const override;
  TSearchState& SearchState() override { return FSearchState; }
  TBookmarkTable& Bookmarks() override { return FBookmarks; }
  void AddSnapshot(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn) override;
  void SnapshotNotice(const std::string& text, bool show = false) override;
  // Shows the preferences dialog modally.
  void ShowPreferences();
  // SIGTERM and SIGHUP (a logout, kill) end the program as EndSession does;
  // exit ends the process with its status.
  void WatchEndSignals(std::function<void(int)> exit);
  // The session ends from outside, and nobody is there to answer a question:
  // documents with unsaved changes keep their working copies and journals,
  // so that the next start offers them back; the other windows close, which
  // removes theirs; the settings are written (a failure goes to stderr);
  // then exit(0). Long work under way is stopped first.
  void EndSession();

  // --- TDocumentList ---------------------------------------------------------------
  int DocumentCount() const override { return MDIChildCount(); }
  THexEditor& DocumentEditor(int index) const override;
  std::string DocumentCaption(int index) const override;
  int ActiveDocument() const override;

  // Creates an editor window for the file in OpenDialog1 (empty: a new
  // document) with the given caption, 565 x 380 pixels, and makes it active.
  Teditform* CreateEditWindow(const QString& caption);

  // --- Handlers ------------------------------------------------------------------
  void FormShow();
  void Neu1Click();
  void ffnen1Click();
  // File > "Open process..." and "Start program...": a running program's
  // memory in an editor window (a program started here is our child, which
  // the kernel lets us read where only parents may).
  void OpenProcess1Click();
  void StartProgram1Click();
  void OpenProcessWindow(int pid, std::unique_ptr<TChildProgram> child);
  // The help pages in a window of our own (where no browser shows them).
  QTextBrowser* ShowHelpWindow(const QString& page);
  // Opens each file in a window of its own, in the order given.
  void OpenPaths(const std::vector<std::string>& paths);
  void Beende1Click();
  void Datei1Click();
  void FileClick(int index);  // File1Click ... File5Click (index 0..4)
  void Preferences1Click();
  void HexCalculator1Click();
  void Tile1Click();
  void Cascalde1Click();
  void ArrageIcons1Click();
  void ber1Click();
  void Restore1Click();
  void Hilfethemen1Click();
  void Homepage1Click();
  void eMail1Click();
  // Shows the file properties of the active editor window.
  void ShowFileProperties();
  void Window1Popup();
  void Compare1Click();
  void CompareAgain1Click();
  // Tools > Compare side by side...: two documents chosen and locked.
  void SideBySide1Click();
  // Locks the documents of these indexes side by side with the shift.
  void LockSideBySide(int index1, int index2, int64_t shift, bool insertions = false);
  TSideBySideView& SideBySide() const { return *FSideBySide; }
  // Enables the side-by-side items as the windows and the pairing are.
  void UpdateSideBySideItems();
  // The recent files; RenderRecentFiles shows them in the File menu.
  TRecentFileList& RecentFiles() { return FRecentFiles; }
  void RenderRecentFiles();
  // The tip line and status text for the next background paint.
  void ChooseTipAndStatus();

  QString TipText() const { return FTip; }
  QString StatusText() const;
  QMdiArea* ClientWindow() const { return FClient; }

  // --- Components ----------------------------------------------------------------------
  QString ProgramDir;
  // The shared file dialogs.
  TFileDialog* OpenDialog1 = nullptr;
  TFileDialog* SaveDialog1 = nullptr;
  // Toolbar buttons: Save, Print, Cut, Copy, Paste, Undo, Search, Search
  // again, Compare again, Compare + Compare o'meter.
  QToolButton *ToolButton4 = nullptr, *ToolButton5 = nullptr, *ToolButton6 = nullptr, *ToolButton7 = nullptr,
              *ToolButton9 = nullptr, *ToolButton10 = nullptr, *ToolButton11 = nullptr, *ToolButton13 = nullptr,
              *ToolButton15 = nullptr, *ToolButton16 = nullptr;
  QMenu* Window1 = nullptr;
  QAction *Compare1 = nullptr, *CompareAgain1 = nullptr;
  QAction *SideBySide1 = nullptr, *NextDifference1 = nullptr, *PreviousDifference1 = nullptr, *AlignHere1 = nullptr,
          *Unlock1 = nullptr;
  QToolButton* ToolButton17 = nullptr;  // "Compare side by side"
  QToolButton* ToolButton18 = nullptr;  // "Take snapshot" of a running program
  QAction* TakeSnapshot1 = nullptr;     // Tools > "Take snapshot" (F8)
  TSideBySideChoice* SideBySideChoice1 = nullptr;
  QAction *OpenProcess1 = nullptr, *StartProgram1 = nullptr;
  QString FLastProgram;
  QAction *Neu1 = nullptr, *ffnen1 = nullptr, *Restore1 = nullptr, *N5 = nullptr;
  QAction *File1 = nullptr, *File2 = nullptr, *File3 = nullptr, *File4 = nullptr, *File5 = nullptr;
  std::array<QAction*, 5> RecentFileItems() const { return {File1, File2, File3, File4, File5}; }
  QToolBar* ToolBar1 = nullptr;
  std::array<QIcon, 13> ImageList1;
  QToolButton *ToolButton1 = nullptr, *ToolButton2 = nullptr, *ToolButton14 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QMenuBar* MainMenu1 = nullptr;
  QMenu *Datei1 = nullptr, *View1 = nullptr, *Tools1 = nullptr, *Hilfe1 = nullptr;
  QAction *N1 = nullptr, *N6 = nullptr, *Beende1 = nullptr;
  QAction* Preferences1 = nullptr;
  QAction *HexCalculator1 = nullptr, *N3 = nullptr;
  QAction *Tile1 = nullptr, *Cascalde1 = nullptr, *ArrageIcons1 = nullptr;
  QAction *Hilfethemen1 = nullptr, *N4 = nullptr, *Homepage1 = nullptr, *eMail1 = nullptr, *N2 = nullptr,
          *ber1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Files dropped onto the frame are opened.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateMenus();
  void CreateToolBar();
  void ConnectToolButton(QToolButton* button, std::function<void()> handler);
  // Shows the active editor window's menus, or the frame's File and View.
  void MergeMenus();
  void SubWindowActivated(QMdiSubWindow* window);
  void FormClose();
  std::vector<Teditform*> EditWindows() const;

  std::unique_ptr<TFileDialog> FOpenDialog;
  std::unique_ptr<TFileDialog> FSaveDialog;
  QMdiArea* FClient = nullptr;
  QLabel* FStatusLabel = nullptr;
  std::vector<std::string> FParams;  // the command line, as bytes
  TForms FForms;
  TSearchState FSearchState;
  TBookmarkTable FBookmarks;
  std::function<int()> FRandom;
  QString FTip;
  bool FShown = false;
  QPointer<Teditform> FLastActive;
  QList<QAction*> FWindowListItems;
  TRecentFileList FRecentFiles;
  std::function<void(int)> FExit;
  QSocketNotifier* FEndSignals = nullptr;
  TSideBySideView* FSideBySide = nullptr;
};

}  // namespace byteloom
