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

#include "editor/dialogservice.h"
#include "editor/Editwin.h"
#include "editor/framelink.h"
#include "control/documents.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenuBar;
class QStatusBar;
class QToolBar;

namespace byteloom {

class TPreferences;

// The tip lines under the logo (r = 0..6) and the status bar texts (s = 0..6).
QString TipLine(int r);
QString StatusLine(int s);

class TMainform : public QMainWindow, public TFrameLink, public TDocumentList {
 public:
  explicit TMainform(QWidget* parent = nullptr);
  ~TMainform() override;

  // The program's arguments after its name: a file, a start offset.
  void SetParams(const QStringList& params) { FParams = params; }
  // The preferences dialog whose check boxes are the live preferences.
  void SetPreferences(TPreferences* preferences) { FPreferences = preferences; }
  TPreferences* Preferences() const { return FPreferences; }
  // The random numbers of the background paint (0..6); a test may fix them.
  void SetRandom(std::function<int()> random) { FRandom = std::move(random); }

  // --- TFrameLink ------------------------------------------------------------------
  int MDIChildCount() const override;
  Teditform* MDIChildren(int index) const override;
  Teditform* ActiveMDIChild() const override;
  void CloseFrame() override;
  void ShowPreferences() override;
  bool ShowValueInfoPreference() const override;

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
  void Beende1Click();
  void Datei1Click();
  void FileClick(int index);  // File1Click ... File5Click (index 0..4)
  void Preferences1Click();
  void HexCalculator1Click();
  void Tile1Click();
  void Cascalde1Click();
  void ArrageIcons1Click();
  void ber1Click();
  void Window1Popup();
  void Compare1Click();
  void CompareAgain1Click();
  // The tip line and status text for the next background paint.
  void ChooseTipAndStatus();

  QString TipText() const { return FTip; }
  QString StatusText() const;
  QMdiArea* ClientWindow() const { return FClient; }

  // --- Components (those the editor windows use are in TFrameLink) --------------------
  QString ProgramDir;
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
  QStringList FParams;
  TPreferences* FPreferences = nullptr;
  std::function<int()> FRandom;
  QString FTip;
  bool FShown = false;
  QPointer<Teditform> FLastActive;
  QList<QAction*> FWindowListItems;
};

}  // namespace byteloom
