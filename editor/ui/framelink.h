// SPDX-License-Identifier: GPL-3.0-or-later
// What the editor windows need of the main frame, as intents: enable or show
// one of the frame's buttons and items, run one of the frame's commands, the
// shared file dialogs and forms, the recent files the window's File menu
// mirrors, and the list of editor windows. The frame implements it (tests use
// a fake frame); editor windows never see the frame itself.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class QDialog;

namespace byteloom {

class TBookmarkTable;
class TByteSource;
class Teditform;
class TFileDialog;
class TSearchReplace;
class TSearchState;

// The frame's buttons and items that the editor windows keep in step.
enum class TFrameItem : uint8_t {
  fiSave,          // toolbar "Save"
  fiPrint,         // toolbar "Print"
  fiCut,           // toolbar "Cut"
  fiCopy,          // toolbar "Copy"
  fiPaste,         // toolbar "Paste"
  fiUndo,          // toolbar "Undo"
  fiSearch,        // toolbar "Search"
  fiSearchAgain,   // toolbar "Search again"
  fiCompare,       // Tools "Compare..." and the toolbar's "Compare + Compare o'meter"
  fiCompareAgain,  // Tools "Compare Again" and the toolbar's "Compare again"
  fiWindowMenu,    // the "Window" menu (shown or hidden)
};
constexpr int kFrameItemCount = 11;

// The frame's commands that an editor window's File menu runs.
// fcFileProperties shows the file properties of the active editor window.
enum class TFrameCommand : uint8_t { fcNew, fcOpen, fcRestore, fcRecentFile, fcPreferences, fcExit, fcFileProperties,
                                     fcOpenProcess, fcStartProgram };

// One entry of the recent-file list as the File menus show it.
struct TRecentEntry {
  QString Name;
  bool Shown = false;
};

class TFrameLink {
 public:
  virtual ~TFrameLink() = default;

  // Buttons and items: enabled state (fiWindowMenu: shown or hidden).
  virtual void SetItemEnabled(TFrameItem item, bool enabled) = 0;
  virtual bool ItemEnabled(TFrameItem item) const = 0;

  // Runs one of the frame's commands (fcRecentFile: the entry `index`, 0..4).
  virtual void RunCommand(TFrameCommand command, int index = 0) = 0;

  // The recent files as the frame's File menu shows them, and whether its
  // separator above them is shown; ShowRecentSeparator shows it.
  virtual std::array<TRecentEntry, 5> RecentEntries() const = 0;
  virtual bool RecentSeparatorShown() const = 0;
  virtual void ShowRecentSeparator() = 0;

  // The shared file dialogs; OpenDialog's file name is the file a new editor
  // window opens (empty: a new document).
  virtual TFileDialog& OpenDialog() = 0;
  virtual TFileDialog& SaveDialog() = 0;
  // The shared dialog of find, replace, goto, binary edit and bookmarks.
  virtual TSearchReplace& SearchDialog() = 0;
  // The shared print and export dialogs, shown modally on the active document.
  virtual QDialog& PrintForm() = 0;
  virtual QDialog& ExportForm() = 0;

  // The editor windows, the active one first (index 0), and their number.
  // Windows that are closing are no longer counted.
  virtual int MDIChildCount() const = 0;
  virtual Teditform* MDIChildren(int index) const = 0;
  virtual Teditform* ActiveMDIChild() const = 0;

  // The preference "Show Value Info" (new windows show their value panel).
  virtual bool ShowValueInfoPreference() const = 0;

  // What all editor windows share: the state of Find, Replace and the jumps,
  // and the five bookmarks.
  virtual TSearchState& SearchState() = 0;
  virtual TBookmarkTable& Bookmarks() = 0;

  // The snapshot search: a version of the file a window watches goes in as
  // the next snapshot (shownIn: the serial of the window whose offsets are
  // the version's); the search offers the next step when it can run.
  virtual void AddSnapshot(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn) = 0;
  // A line the search window shows about a watch until the next step;
  // show brings the window up.
  virtual void SnapshotNotice(const std::string& text, bool show = false) = 0;
};

}  // namespace byteloom
