// What the editor windows use of the main frame, and nothing more: the
// shared file dialogs, the toolbar buttons and menu items the windows
// enable, disable, show and hide, the items the window's File menu mirrors
// or clicks, the list of editor windows and a few frame commands. The frame
// implements it; editor windows never see the frame itself.
#pragma once

#include <array>

class QAction;
class QMenu;
class QToolButton;

namespace byteloom {

class Teditform;
class TFileDialog;

class TFrameLink {
 public:
  virtual ~TFrameLink() = default;

  // The shared file dialogs; OpenDialog1's file name is the file a new
  // editor window opens (empty: a new document).
  TFileDialog* OpenDialog1 = nullptr;
  TFileDialog* SaveDialog1 = nullptr;

  // Toolbar buttons: Save, Print, Cut, Copy, Paste, Undo, Search,
  // Search again, Compare again, Compare + Compare o'meter.
  QToolButton* ToolButton4 = nullptr;
  QToolButton* ToolButton5 = nullptr;
  QToolButton* ToolButton6 = nullptr;
  QToolButton* ToolButton7 = nullptr;
  QToolButton* ToolButton9 = nullptr;
  QToolButton* ToolButton10 = nullptr;
  QToolButton* ToolButton11 = nullptr;
  QToolButton* ToolButton13 = nullptr;
  QToolButton* ToolButton15 = nullptr;
  QToolButton* ToolButton16 = nullptr;

  // Menus and items.
  QMenu* Window1 = nullptr;
  QAction* Compare1 = nullptr;
  QAction* CompareAgain1 = nullptr;
  QAction* Neu1 = nullptr;
  QAction* ffnen1 = nullptr;
  QAction* Restore1 = nullptr;
  QAction* N5 = nullptr;
  QAction* File1 = nullptr;
  QAction* File2 = nullptr;
  QAction* File3 = nullptr;
  QAction* File4 = nullptr;
  QAction* File5 = nullptr;
  std::array<QAction*, 5> RecentFileItems() const { return {File1, File2, File3, File4, File5}; }

  // The editor windows, the active one first (index 0), and their number.
  // Windows that are closing are no longer counted.
  virtual int MDIChildCount() const = 0;
  virtual Teditform* MDIChildren(int index) const = 0;
  virtual Teditform* ActiveMDIChild() const = 0;

  // Closes the frame (Exit): every editor window is asked first.
  virtual void CloseFrame() = 0;
  // Shows the preferences dialog modally.
  virtual void ShowPreferences() = 0;
  // The preference "Show Value Info" (new windows show their value panel).
  virtual bool ShowValueInfoPreference() const = 0;
};

}  // namespace byteloom
