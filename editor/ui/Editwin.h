// SPDX-License-Identifier: GPL-3.0-or-later
// Teditform: the editor window of one open document, a child window of the
// main frame's MDI area. It holds one hex editor control, the value info
// panel under it, its own menus (merged into the frame's menu bar while it
// is active) and a context menu, and keeps the frame's toolbar and menus in
// step with its document.
#pragma once

#include <QString>

#include <memory>

#include "control/bookmarks.h"
#include "editor/keepvalue.h"
#include "platform/process.h"
#include "ui/docwindow.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QHBoxLayout;
class QMenu;
class QTimer;
class QSocketNotifier;

namespace byteloom {

class HexEditorWidget;
class TFieldsForm;
class TRegionsForm;
struct TField;
struct TValueFormat;
class TFrameLink;
class THexEditor;
class TValueInfoPanel;
class TVersionWatch;
enum class TByteFormat : uint8_t;
struct TSearchResult;
enum class TSearchPage : uint8_t;


class Teditform : public TDocumentWindow {
 public:
  // The file named by the open dialog could not be opened: the window holds
  // an empty new document instead, and says so.
  bool LoadFailed() const { return FLoadFailed; }
  // Creates the window for the file named in the frame's OpenDialog1 (an
  // empty name starts a new document).
  explicit Teditform(TFrameLink& frame, QWidget* parent = nullptr);
  ~Teditform() override;

  TFrameLink& Frame() const { return FFrame; }
  THexEditor& Editor() const override;
  HexEditorWidget& HexWidget() const override { return *HexEditor1; }
  // Closing has begun (the close query allowed it): no longer counted as an
  // open editor window.
  bool IsClosing() const { return FClosing; }

  // --- Operations used by other windows ---------------------------------------
  // Saves to the document's own file, or asks for a name; true when written.
  bool SaveDocument();
  // Asks about unsaved changes; true when the window may close.
  bool AskSaveChanges();
  // A message box with the error icon and an OK button, owned by this window.
  void ShowErrorBox(const QString& text);
  // Refreshes every box of the value info panel.
  void UpdateValueInfo();
  void SetSideStrip(QWidget* strip) override;
  QMenu& ContextMenu() const override { return *PopupMenu1; }

  // --- Events ------------------------------------------------------------------
  void FormShow();
  void FormActivate();
  void HexEditor1Click();
  void HexEditor1KeyUp();
  void HexEditor1MouseUp();

  // --- Menu handlers -------------------------------------------------------------
  void Datei1Click();
  void Neu1Click();
  void ffnen1Click();
  // Shows a running program's memory (child: the program when we started
  // it; it runs on when the window closes). Its shown rows are read again
  // four times a second; once it has ended the window says so.
  void OpenProcess(TProcess process, std::unique_ptr<TChildProgram> child);
  void LiveTick();
  // The program mapped or unmapped memory: the window shows its regions as
  // they are now, at the same address (only while it holds no edit to undo).
  void RefreshRegions();
  // Tools > Memory regions...: the regions of a running program's window.
  void Regions1Click();
  TRegionsForm* FRegionsForm = nullptr;
  int FLiveTicks = 0;
  // After an undo or redo in a running program's memory: says so when the
  // program had changed the bytes meanwhile.
  void TellChangedMeanwhile();
  void Schlieen1Click();
  void AlleSchlieen1Click();
  void Speichern1Click();
  void Speichernunter1Click();
  void Restore1Click();
  // "Watch for new versions": each version another program writes of the
  // document's file becomes the next snapshot of the snapshot search, the
  // file as it is now the first; unchecked (or the window closed), the
  // watch ends and the snapshots stay.
  void WatchVersions1Click();
  bool WatchingVersions() const { return FVersionWatch != nullptr; }
  void Beenden2Click();
  void Print1Click();
  void asTextfile1Click();
  void FileClick(int index);  // File1Click ... File5Click (index 0..4)
  void Bearbeiten1Click();
  void PopupMenu1Popup();
  void InsertNibble1Click();
  void DeleteNibble1Click();
  void View1Click();
  void _16Click(QAction* item);
  void N1Byteperblock1Click(QAction* item);
  void Hex1Click(QAction* item);
  void ANSI1Click(QAction* item);
  void Grid1Click();
  void Showmarkers1Click();
  void SwapNibbles1Click();
  void MaskWhiteSpaces1Click();
  void Preferences1Click();
  void ShowValueInfo1Click();
  // Find, replace, goto and jump
  void Find1Click();
  void FindNext1Click();
  void Replace1Click();
  void Goto1Click();
  void Amount40001Click();
  void Jumpforward1Click();
  void Jumpbackward1Click();
  // Clipboard and undo
  void Rckgngig1Click();
  void Wiederherstellen1Click();
  void Ausschneiden1Click();
  void Kopieren1Click();
  bool SelectionFitsClipboard();
  void Einfgen1Click();
  // Binary edit and bookmarks
  void BinaryEdit1Click();
  void Bookmarks1Click();
  void AddBookmark1Click();
  void EditBookmark1Click();
  void BookmarkClick(int index);  // Bookmark1Click ... Bookmark5Click (index 0..4)
  void Properties1Click();
  // edit_extra.cpp: Find All, Copy as, Paste hex text, exports for other tools.
  void FindAll1Click();
  void CopyAsClick(TByteFormat format);
  void PasteHexText1Click();
  void ExportAsClick(TByteFormat format);
  // edit_fields.cpp: the document's named fields and checksums.
  void Fields1Click();           // Tools > Fields
  void AddFieldHere1Click();     // "Add field here": the caret's byte or the selection
  void ChecksumOfSelection1Click();  // Tools > Checksum of selection
  // A field of format at offset (a candidate of the snapshot search).
  void AddField(int64_t offset, const TValueFormat& format);
  // The document's fields; FieldsChanged keeps them for its file and shows them.
  std::vector<TField>& Fields() { return FFields; }
  void FieldsChanged();
  TFieldsForm& FieldsForm();
  void EnableSaveIfModified();
  // Keep at value: the values held in the running program's memory, written
  // back ten times a second while any is held; the holds end with the
  // field, the window or the program.
  TValueKeeper& Keeper() { return FKeeper; }
  // Holds field at the value it has now, or releases it; a message when it
  // cannot be held.
  void ToggleKeep(const TField& field);
  void KeepTick();
  QTimer* FKeepTimer = nullptr;

  // --- Components -----------------------------------------------------------------
  HexEditorWidget* HexEditor1 = nullptr;
  TValueInfoPanel* Value_Info_Panel = nullptr;

  // MainMenu1: the four menus merged into the frame's menu bar.
  QMenu* Datei1 = nullptr;
  QAction *OpenProcess1, *StartProgram1;
  QTimer* FLiveTimer = nullptr;
  std::unique_ptr<TChildProgram> FChild;
  bool FEndedTold = false;
  QAction *Neu1, *ffnen1, *Schlieen1, *AlleSchlieen1, *Speichern1, *Speichernunter1, *WatchVersions1, *N15;
  QMenu* Export1 = nullptr;
  QAction *asTextfile1, *N7, *Restore1, *N16, *Print1, *N12, *Beenden2, *N11;
  QAction *File1, *File2, *File3, *File4, *File5;

  QMenu* Bearbeiten1 = nullptr;
  QAction *Rckgngig1, *Wiederherstellen1, *N3, *Ausschneiden1, *Kopieren1, *Einfgen1, *Replace1, *InsertNibble1, *DeleteNibble1, *N13,
      *BinaryEdit1, *N5, *Goto1;
  QMenu* Jump1 = nullptr;
  QAction *Amount40001, *N4, *Jumpforward1, *Jumpbackward1, *Find1, *FindNext1, *N8, *Properties1;

  QMenu* View1 = nullptr;
  QMenu* Linesize1 = nullptr;
  QAction *_16, *_32, *_64;
  QMenu* Blocksize1 = nullptr;
  QAction *N1Byteperblock1, *N2Bytesperblock1, *N4Bytesperblock1;
  QMenu* Offsetdisplay1 = nullptr;
  QAction *Hex1, *Dec1, *None1;
  QMenu* charset1 = nullptr;
  QAction *ANSI1, *ASCII7Bit1, *DOS8Bit1, *IBMEBCDICCP381, *Mac1;
  QAction *N2, *Grid1, *Showmarkers1, *SwapNibbles1, *MaskWhiteSpaces1, *N9, *Preferences1;

  QMenu* Bookmarks1 = nullptr;
  QMenu* ApplyBookmarks1 = nullptr;
  QAction *AddBookmark1, *EditBookmark1, *N14, *Bookmark1, *Bookmark2, *Bookmark3, *Bookmark4, *Bookmark5;

  QMenu* PopupMenu1 = nullptr;
  QAction *Undo1, *Redo1, *N1, *Cut1, *Copy1, *Paste1, *N6, *Goto2;
  QMenu* Jump2 = nullptr;
  QAction *JumpForward2, *Jump3, *Find2, *FindNext2, *AddFieldHere1, *N10, *ShowValueInfo1;

  // The window's menus in menu-bar order (File, Edit, View, Bookmarks).
  std::array<QMenu*, 4> MainMenu1() const { return {Datei1, Bearbeiten1, View1, Bookmarks1}; }
  std::array<QAction*, 5> RecentFileItems() const { return {File1, File2, File3, File4, File5}; }
  std::array<QAction*, 5> BookmarkItems() const { return {Bookmark1, Bookmark2, Bookmark3, Bookmark4, Bookmark5}; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormClose();
  void FormDestroy();
  void CreateMenus();
  void CreatePopupMenu();
  void FindAllItems(QMenu* edit);
  void CopyAsItems(QMenu* edit);
  void ExportFormatItems(QMenu* exportMenu);
  // edit_keptmarks.cpp: the bookmarks kept for the document's file.
  void RecallFileBookmarks();
  // Fix on save: the checksums so marked are written before the file is;
  // false (after the error box) when one cannot be, and nothing is saved.
  bool FixChecksumsForSave(const std::string& fileName);
  // "Apply bookmarks to": one entry per open window with a file.
  void ApplyBookmarkItems();
  void SetUpControl();
  // edit_file.cpp: the watch for new versions of the document's file.
  void StartVersionWatch();
  void StopVersionWatch();
  // Hands what the watch found to the snapshot search.
  void PollVersions(bool first);
  // Writes the document to fileName; on success the caption becomes the
  // name and the frame's Save button is disabled, on failure the error box.
  bool WriteDocument(const std::string& fileName);
  // Shows the shared dialog with only this tab; its modal result.
  int ShowSearchDialog(TSearchPage page);
  // Reports a find, replace or goto outcome (nothing for a silent one).
  void ReportSearch(const TSearchResult& result);
  // Whether the Edit menu state, freshly computed, enables this item.
  bool EditItemEnabled(QAction* item);

  TFrameLink& FFrame;
  QHBoxLayout* FEditorRow = nullptr;
  TBookmarkMenu FBookmarkMenu;
  std::vector<TField> FFields;
  TFieldsForm* FFieldsForm = nullptr;
  TValueKeeper FKeeper;
  std::unique_ptr<TVersionWatch> FVersionWatch;
  QSocketNotifier* FVersionNotifier = nullptr;
  bool FClosing = false;
  bool FShown = false;
  bool FLoadFailed = false;
};

}  // namespace byteloom
