// SPDX-License-Identifier: GPL-3.0-or-later
// THexEditor: the grid control that shows one document as rows of hex byte
// values beside a character column, and owns everything that belongs to the
// document: the working file, the change marks, the undo list, the
// selection and the markers. Toolkit-free; a TGridHost supplies the window.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/bits.h"
#include "control/customgrid.h"
#include "control/docstore.h"
#include "control/recovery.h"
#include "control/types.h"
#include "document/journal.h"
#include "platform/platform.h"
#include "platform/progress.h"

namespace byteloom {

class THexEditor;

// How a view lays out its document along a lane it shares with another
// view (a locked pair): row r shows lane positions r * BytesPerLine on,
// each a byte of the document or a gap where only the other side has one.
class TLaneMap {
 public:
  virtual ~TLaneMap() = default;
  virtual int64_t Lanes() = 0;
  // The lane position of byte pos (Lanes() for pos at or past the end).
  virtual int64_t LaneOf(int64_t pos) = 0;
  // The byte at lane position lane; at a gap, the first byte after it (the
  // document's size when none) with gap set.
  virtual int64_t PosAt(int64_t lane, bool& gap) = 0;
};

// The kinds of undo steps, in the order of their numbers in the undo records.
enum class TUndoKind : uint8_t {
  ukByteChanged,       // "Byte changed"
  ukRemoved,           // "Byte(s) removed"
  ukInsertBuffer,      // "Insert buffer"
  ukReplaceSelection,  // "Replace selection"
  ukAppendBuffer,      // "Append buffer"
  ukInsertNibble,      // "Insert nibble"
  ukDeleteNibble,      // "Delete nibble"
  ukConvert            // "Convert"
};

// The name of the backup of fileName: its extension replaced by
// backupExtension, or by backupExtension + "~" when it already has that one.
std::string BackupFileName(const std::string& fileName, const std::string& backupExtension);

// The control's nine colours and the two inverse colours derived from them.
class TColors {
 public:
  explicit TColors(THexEditor* owner);

  TColor Offset() const { return FOffset; }
  TColor OddColumn() const { return FOddColumn; }
  TColor InvOddColumn() const { return FInvOddColumn; }
  TColor EvenColumn() const { return FEvenColumn; }
  TColor InvEvenColumn() const { return FInvEvenColumn; }
  TColor PositionBackground() const { return FPositionBackground; }
  TColor CursorFrame() const { return FCursorFrame; }
  TColor Background() const { return FBackground; }
  TColor ChangedText() const { return FChangedText; }
  TColor PositionText() const { return FPositionText; }
  TColor ChangedBackground() const { return FChangedBackground; }
  // The background of bytes that differ from the other side of a locked pair.
  TColor Difference() const { return FDifference; }
  // The background of bytes only one side of a locked pair has, and of the
  // gap facing them on the other side.
  TColor Gap() const { return FGap; }

  void SetOffset(TColor c);
  void SetOddColumn(TColor c);
  void SetEvenColumn(TColor c);
  void SetPositionBackground(TColor c);
  void SetCursorFrame(TColor c);
  void SetBackground(TColor c);
  void SetChangedText(TColor c);
  void SetPositionText(TColor c);
  void SetChangedBackground(TColor c);
  void SetDifference(TColor c);
  void SetGap(TColor c);

  // The RGB value whose bytes are 255 minus those of c, taken from the raw
  // value (a system colour is inverted from its index bits).
  static TColor Inverse(TColor c);

 private:
  void SetPlain(TColor& field, TColor c);

  TColor FOffset = clBlack;
  TColor FOddColumn = clBlue;
  TColor FInvOddColumn = 0x00FFFF;
  TColor FEvenColumn = clNavy;
  TColor FInvEvenColumn = 0x7FFFFF;
  THexEditor* FOwner;
  TColor FPositionBackground = clMaroon;
  TColor FCursorFrame = clNavy;
  TColor FBackground = clWindow;
  TColor FChangedText = clMaroon;
  TColor FPositionText = clWhite;
  TColor FChangedBackground = 0xA8FFFF;
  TColor FDifference = kDefaultDifference;
  TColor FGap = kDefaultGap;

 public:
  static constexpr TColor kDefaultDifference = 0xB4B4FF;  // light red, apart from the changed bytes' yellow
  static constexpr TColor kDefaultGap = 0xFFD8A8;         // light blue
};

class THexEditor : public TCustomGrid {
 public:
  // The message the control posts to itself after selection and undo changes.
  static constexpr uint32_t WM_STATECHANGED = 0x0402;
  static constexpr intptr_t kStateChangedParam = 7;
  static constexpr int64_t kCacheSize = TDocumentStore::kWindowSize;
  static constexpr int kMaxUndo = 100;

  explicit THexEditor(TGridHost& host);
  ~THexEditor() override;

  // Called once the control has been set up by its form: starts a new empty
  // document named "Untitled".
  void Loaded();
  // A number no other control of this run has: it tells a control apart
  // from a later one that happens to take its place in memory.
  uint64_t Serial() const { return FSerial; }

  // --- Published properties ---------------------------------------------------
  int BytesPerLine() const { return FBytesPerLine; }
  void SetBytesPerLine(int value);
  int BytesPerColumn() const { return FNibblesPerColumn / 2; }
  void SetBytesPerColumn(int value);
  TTranslationType Translation() const { return FTranslation; }
  void SetTranslation(TTranslationType value);
  TOffsetDisplayStyle OffsetDisplay() const { return FOffsetDisplay; }
  void SetOffsetDisplay(TOffsetDisplayStyle value);
  char OffsetSeparator() const { return FOffsetSeparator; }
  void SetOffsetSeparator(char value);
  TCaretStyle CaretStyle() const { return FCaretStyle; }
  void SetCaretStyle(TCaretStyle value);
  TColors& Colors() { return *FColors; }
  const TColors& Colors() const { return *FColors; }
  bool FocusFrame() const { return FFocusFrame; }
  void SetFocusFrame(bool value);
  bool SwapNibbles() const { return FSwapNibbles; }
  void SetSwapNibbles(bool value);
  bool MaskWhiteSpaces() const { return FMaskWhiteSpaces; }
  void SetMaskWhiteSpaces(bool value);
  char MaskChar() const { return FMaskChar; }
  void SetMaskChar(char value);
  bool ShowMarkerColumn() const { return FShowMarkerColumn; }
  void SetShowMarkerColumn(bool value);
  bool CreateBackup() const { return FCreateBackup; }
  void SetCreateBackup(bool value) { FCreateBackup = value; }
  const std::string& BackupExtension() const { return FBackupExtension; }
  void SetBackupExtension(const std::string& value) { FBackupExtension = value; }
  std::function<void(THexEditor&)> OnStateChanged;
  // Told after each splice of the document's bytes (edits, undo, redo):
  // the `removed` bytes at `at` became `inserted` ones (a nibble shift
  // counts the bytes it touches).
  std::function<void(int64_t at, int64_t removed, int64_t inserted)> OnSpliced;
  // Which bytes differ from another document (a locked pair): sets out[i]
  // to kDiffers where position pos + i differs, to kOneSided where only
  // one side has a byte there, positions past the end and before the start
  // (rows of the view beyond the document's, SetViewRows) included; with a
  // lane map the positions are lane positions. Asked once per painted row;
  // empty: nothing differs.
  static constexpr uint8_t kDiffers = 1, kOneSided = 2;
  using TDifferenceMarks = std::function<void(int64_t pos, int64_t count, uint8_t* out)>;
  const TDifferenceMarks& DifferenceMarks() const { return FDifferenceMarks; }
  void SetDifferenceMarks(TDifferenceMarks marks);
  // Lays the document out along a shared lane (nullptr: row r shows bytes
  // r * BytesPerLine on, as usual). The map must outlive its use; call
  // LaneMapChanged when what it maps changes.
  TLaneMap* LaneMap() const { return FLaneMap; }
  void SetLaneMap(TLaneMap* map);
  void LaneMapChanged();

  // --- Read-only state ----------------------------------------------------------
  int CharWidth() const { return FCharWidth; }
  int RowHeight() const { return FRowHeight; }
  int OffsetChars() const { return FOffsetChars; }
  int HexCells() const { return FHexCells; }
  int NibblesPerColumn() const { return FNibblesPerColumn; }
  bool InCharField() const { return FInCharField; }
  bool ReadOnly() const { return FReadOnly; }
  bool Modified() const { return FModified; }
  void SetModified(bool value);
  const std::string& FileName() const { return FFileName; }
  // A new document that was never loaded from or saved to a file (its
  // FileName is only a caption).
  bool Untitled() const { return FUntitled; }
  const std::string& TempFileName() const { return FTempFileName; }
  // A file that cannot be cloned is copied under TempFileName up to this
  // size, and read in place (and watched) above it.
  int64_t CopyLimit() const { return FCopyLimit; }
  void SetCopyLimit(int64_t bytes) { FCopyLimit = bytes; }
  // How the opened file is read: a private snapshot or copy, or in place.
  TOpenMode OpenMode() const { return FStore.File().Mode(); }
  int64_t SelMin() const { return FSelMin; }
  int64_t SelMax() const { return FSelMax; }
  int64_t SelAnchor() const { return FSelAnchor; }
  bool MouseSelecting() const { return FMouseSelecting; }
  bool CanUndo() const { return FCanUndo; }
  const std::string& UndoDescription() const { return FUndoDescription; }
  int UndoCount() const { return FUndoCount; }
  bool CanRedo() const { return FRedoCount > 0; }
  // "No Redo", or the kind text of the step Redo would make again.
  const std::string& RedoDescription() const { return FRedoDescription; }
  int RedoCount() const { return FRedoCount; }
  // Grows with every edit, undo and redo of the document and every load.
  uint64_t EditCount() const { return FStore.Edits(); }
  bool OemCharEntry() const { return FOemCharEntry; }
  int64_t CacheStart() const { return FStore.WindowStart(); }
  const uint8_t* ReadCache() const { return FStore.Window(); }
  bool HasDataStream() const { return FStore.IsOpen(); }
  // The document the control shows, for readers of its bytes.
  const TDocument& Document() const { return FStore.Doc(); }
  const TBits& ChangedBits() const { return FStore.Marks(); }
  // Why the last LoadFromFile or SaveToFile failed, as text for the user.
  const std::string& LastError() const { return FLastError; }
  // After a successful SaveToFile: a warning that the saved file may not yet
  // be safe on disk (empty when all went well).
  const std::string& LastWarning() const { return FLastWarning; }
  // Asked by SaveToFile before it replaces an existing backup that Byteloom
  // did not write for the same file, with the question to show; true means
  // replace it. Without a handler such a backup is never replaced (the save
  // fails with the question as its reason).
  std::function<bool(const std::string& question)> OnConfirmBackupReplace;
  // Asked by SaveToFile when another program changed, replaced or deleted
  // the opened file (read in place) and the save could write over its work
  // or write bytes it changed; true means save anyway. Without a handler
  // such a save fails with the question as its reason.
  std::function<bool(const std::string& question)> OnConfirmChangedFile;
  // Told once, as soon as the host reports the watch, that another program
  // changed, replaced or deleted the opened file, with what it means and
  // what can be done.
  std::function<void(const std::string& message)> OnOpenedFileChanged;
  // The host's report that the opened file's watch (TGridHost::WatchFile)
  // is readable.
  void OpenedFileEvent();

  // --- Document storage -----------------------------------------------------------
  bool LoadFromFile(const std::string& fileName);
  // Shows live memory (a running program's) under caption: typing writes
  // through, nothing changes its length, Save offers only Save as.
  void OpenLive(std::unique_ptr<TLiveSource> memory, const std::string& caption);
  bool IsLive() const { return FStore.Doc().Live(); }
  // Whether an undo or redo since the last call wrote over bytes that the
  // program had changed after the edit.
  bool TakeChangedMeanwhile() { return FStore.Doc().TakeChangedMeanwhile(); }
  // Reads the shown rows of live memory again; bytes that changed since the
  // last look are shown as changed for kLiveFlashTicks. Returns false when
  // the memory could not be read (what was read last stays shown).
  static constexpr uint32_t kLiveFlashTicks = 1000;
  bool RefreshLive();
  // The address of byte pos to show (pos itself but in live memory), and
  // the byte at an address (none where the document has no such address).
  uint64_t AddressOf(int64_t pos) const;
  std::optional<int64_t> PosOfAddress(uint64_t address) const;
  // Makes the document of a crashed session again from its journal, named
  // after its file, modified, with its marks, caret and undo steps; the old
  // journal and its files are removed. False (with LastError, the old journal
  // kept) when it cannot be replayed.
  bool LoadRecovered(const TRecoveryInfo& info);
  void CreateEmptyFile(const std::string& name);
  // progress follows the writing; when it stops the save, the file is left
  // as it was and LastError says so.
  bool SaveToFile(const std::string& fileName, const byteloom::TProgress& progress = {});
  int64_t DataSize();
  uint8_t ReadByte(int64_t pos);
  void WriteByte(int64_t pos, uint8_t value);
  void ReadBuffer(void* dest, int64_t pos, int64_t count);
  void WriteBuffer(const void* source, int64_t pos, int64_t count);
  // A copy of count bytes from pos on (count is cut to the bytes that exist).
  std::unique_ptr<uint8_t[]> BufferFromFile(int64_t pos, int64_t& count);
  void FillCache(int64_t pos);
  void UpdateCache(int64_t pos, uint8_t value);
  void EnsureDataStream();
  std::string MakeTempFileName();
  bool CheckFileAccess(const std::string& fileName, bool& readOnly);

  // --- Layout -----------------------------------------------------------------------
  void AdjustMetrics();
  void UpdateColumnWidths();
  void UpdateOffsetWidth();
  int64_t GetPosAtCell(int col, int64_t row);
  void GetCellAtPos(int64_t pos, bool inCharField, int& col, int64_t& row) const;
  int GetOtherFieldCol(int col, bool& inCharField) const;

  // --- Character translation (with Translation, MaskWhiteSpaces, MaskChar) ----------
  uint8_t FileByteToChar(uint8_t b) const;
  uint8_t CharToFileByte(uint8_t c) const;

  // --- Search -----------------------------------------------------------------------
  // The document is scanned in pieces of this many bytes.
  static constexpr int64_t kFindChunkSize = 1 << 20;
  // The position of the leftmost match of the count bytes of pattern that
  // starts at or after startPos (a negative one counts as 0) and ends at or
  // before lastPos (cut to DataSize - 1), or -1. The pattern is changed in
  // place first: translated to file bytes when translate is set and
  // Translation is not ttAnsi, then lower-cased (Windows-1252) when
  // ignoreCase is set, which also lower-cases the document's bytes for the
  // comparison. When the pattern cannot fit in the range, nothing is read
  // and the pattern stays as it is. progress follows every piece with the
  // bytes searched and the bytes in all; when it stops the search the result
  // is kFindStopped.
  static constexpr int64_t kFindStopped = -2;
  int64_t Find(uint8_t* pattern, int64_t count, bool translate, bool ignoreCase, int64_t lastPos, int64_t startPos,
               const byteloom::TProgress& progress = {});

  // --- Find and replace (replaceall.cpp) -----------------------------------------------
  // Shows the count bytes of a match at pos as Find selects it: the caret on
  // its last byte (SelStart), the selection back to its first (SelEnd).
  void SelectMatch(int64_t pos, int64_t count);
  // Replacing at a match: selects it and puts the dataCount bytes of data in
  // its place (ReplaceSelection, one undo step "Replace selection").
  void ReplaceMatch(int64_t pos, int64_t count, const uint8_t* data, int64_t dataCount);
  // Long work reports bytes done of total now and then; false stops it.
  using TProgress = byteloom::TProgress;
  // Replace all, from the match of the count bytes of pattern at firstMatch
  // (the pattern as Find left it): replaces that match and then every
  // following one, each search starting behind the replacement just written,
  // and returns the number of replacements. The result is that of replacing
  // the matches one by one with ReplaceMatch: bytes, the undo steps kept,
  // caret, selection, change marks and Modified; the document is rewritten
  // in one pass however many matches there are. On a failure the document
  // holds the replacements of the whole pieces done before it, with their
  // undo steps, or none. When progress stops the work, the matches replaced
  // by then stay replaced (as if the one-by-one replacement had stopped
  // there; the caret stays where it was) and their number is returned.
  int64_t ReplaceAll(const uint8_t* pattern, int64_t count, bool ignoreCase, int64_t firstMatch, const uint8_t* data,
                     int64_t dataCount, const TProgress& progress = {});

  // --- Undo -------------------------------------------------------------------------
  // Empties the undo list, and the redo list with it unless withRedo is false.
  void ResetUndo(bool withRedo = true);
  // Records a step before an edit that the caller then makes with
  // WriteBuffer (for ukReplaceSelection extra is the old selection's
  // length); false means the edit must not happen. The step keeps the
  // pieces the edit will change, so Undo puts them back.
  bool CreateUndo(TUndoKind kind, int64_t pos, int64_t extra, int64_t count);
  // The caret, selection and Modified flag an undo step brings back.
  struct TUndoState {
    int64_t Caret = 0;
    uint8_t Nibble = 0;  // 1 on the second hex cell of the byte
    bool InChar = false;
    int64_t SelMin = -1, SelMax = -1, SelAnchor = -1;
    bool Modified = false;
    bool operator==(const TUndoState&) const = default;
  };
  TUndoState CurrentUndoState();
  // Takes back the newest step: bytes, length, caret, selection, change
  // marks as far as known, and Modified. The step can then be made again
  // by Redo until the next edit.
  void Undo();
  // Makes the newest undone step again, as the edit made it (with its undo
  // step), and puts the caret and selection where they were before it was
  // undone.
  void Redo();
  static const char* UndoKindText(TUndoKind kind);
  // --- Editing (every change records an undo step first) -------------------------------
  void ChangeByte(uint8_t oldValue, uint8_t newValue, int64_t row, int col, int64_t pos);
  bool InsertNibble(int64_t pos, bool highHalf);
  bool DeleteNibble(int64_t pos, bool highHalf);
  void DeleteSelection();
  void InsertBuffer(const uint8_t* data, int64_t count, int64_t pos);
  void AppendBuffer(const uint8_t* data, int64_t count);
  void ReplaceSelection(const uint8_t* data, int64_t count);
  int64_t SelStart();
  void SetSelStart(int64_t pos);
  int64_t SelEnd();
  void SetSelEnd(int64_t pos);
  int64_t SelCount() const;
  int64_t GetCursorPos();
  bool IsCharFieldActive();
  // origin 0: from the start, 1: from the caret, 2: from the last byte.
  bool Seek(int64_t offset, int origin, bool failIfOutside);
  bool IsSelected(int64_t pos) const;
  bool ByteChanged(int64_t pos) const;
  // False for a running program's byte that could not be read and never
  // was before: it is painted as unknown ("?"), not as the zero it reads as.
  bool ByteKnown(int64_t pos) const;
  void SetChangedBit(int64_t pos, bool value);
  void SetMarker(int index, int64_t row);
  int64_t GetMarker(int index) const;
  int MarkerAtRow(int64_t row) const;
  // Removes bytes first..stop-1 and puts the caret on (col, row), or on the
  // last byte if that cell is past the end.
  void DeleteRange(int64_t first, int64_t stop, int64_t row, int col);
  // --- Selection (the parts the storage and layout need) ------------------------------
  void ResetSelection(bool repaint);
  void InvalidateRange(int64_t a, int64_t b);

  // --- Caret ------------------------------------------------------------------------
  void BuildCaret();

  // --- Input --------------------------------------------------------------------------
  // One flag for all controls: while it is clear, CanSelectCell skips its
  // checks (it clears it while it moves the caret itself).
  static inline bool SelectGuard = true;
  // The checks before the caret enters a cell of a non-empty document: past
  // the end it goes to the last byte instead, the spacer is refused.
  bool CanSelectCell(int col, int64_t row);
  // The control's own keys; true when the key was handled.
  bool HandleKey(TShiftState shift, uint16_t key);
  // The key or mouse button is down at this moment.
  bool KeyHeld(int vk) const { return Host().KeyHeld(vk); }
  // Starts or extends the selection from the byte of one cell to another's.
  void SelectCells(int fromCol, int64_t fromRow, int toCol, int64_t toRow);
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void KeyUp(uint16_t& key, TShiftState shift) override;
  // A typed character: overwrites the nibble or the byte at the caret.
  void KeyPress(uint8_t ch) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void FocusGained() override;
  void FocusLost() override;

  // --- Painting -----------------------------------------------------------------------
  // Writes text at rect's top-left corner in textColor on background, filling
  // the whole rect and clipping the text to it (colours are RGB).
  void PaintCellText(const std::string& text, TColor textColor, TColor background, const TRect& rect);
  // The difference mark of the cell `index` of row (whose marks are asked
  // once per paint): 0, kDiffers or kOneSided.
  uint8_t CellMark(int64_t row, int64_t index);

  // Posts the state-change message when the window exists.
  void PostStateChange();
  void HandleMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override;

 protected:
  // Moves the caret to (col, row) through the grid's current-cell move.
  void MoveCaret(int col, int64_t row) { MoveColRow(col, row, true, true); }
  // Paints one cell: its text and colours, and the caret or the twin frame.
  void DrawCell(int col, int64_t row, const TRect& rect) override;
  // Checks and follows a move of the caret (see CanSelectCell).
  bool SelectCell(int col, int64_t row) override;
  // After the view scrolled: the caret to its cell, or out of sight.
  void TopLeftChanged() override;

 private:
  void CloseDataStream();
  // Before the document is first changed: its journal exists, or EFileError
  // and nothing changed (a crash must never lose edits).
  void NoteChangeComing();
  // The journal's records of the control's steps; each raises EFileError
  // with nothing recorded (then the change must not be made).
  void Journal(const TJournalRecord& record);
  TCaretState JournalState(const TUndoState& state) const;
  // The caret after a change, for the caret a recovery brings back
  // (journaled as the state message is handled, when it moved).
  void JournalCaret() noexcept;
  // Called by the document before each splice: the splice goes into the
  // journal first (while journaling is not held off).
  void JournalSplice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted);
  // Creates the working file exclusively, moving on to a fresh name if
  // something else has taken TempFileName meanwhile.
  TTempFile CreateWorkFile();
  void ResetDocumentState();
  bool SaveToFileChecked(const std::string& fileName, TFileHandle& saved, const byteloom::TProgress& progress);
  // After a save: the document is the saved file (saved: a descriptor of
  // it, or closed to open it by name) and the journal starts again over it.
  void StartJournalAfterSave(const std::string& fileName, TFileHandle saved) noexcept;
  // The document over the opened file: the journal's base and the host's watch.
  void TakeOpenedFile(TWatchedFile&& file);
  // How a file is opened: its private copy under TempFileName.
  TWatchedFile::TOptions OpenOptions();
  // Before a save to fileName: the file read in place is as it was opened,
  // or the user said to save anyway. False with LastError otherwise.
  bool OpenedFileStillSafe(const std::string& fileName);
  // Space errors (no space, quota, file size limit) become a message saying
  // what did not fit; other errors are raised as they are.
  static bool IsNoSpace(const EFileError& e);
  [[noreturn]] static void ThrowNoSpace(const EFileError& e, const std::string& what);
  void TrimChangedBits(int64_t pos);
  // Bytes changed: the change marks from trimFrom on go (-1: none; a mark
  // says the byte at that offset was typed over, which no longer holds once
  // bytes moved or were replaced), and when resized the rows follow the
  // length. Every edit and undo step that moves bytes ends with it, before
  // the caret is placed.
  void BytesChanged(int64_t trimFrom, bool resized = true);
  // Selects count bytes from first on (anchored at first; none for count 0)
  // and posts the state message.
  void SelectBytes(int64_t first, int64_t count);
  // One step of the undo list: its kind, where it acted, the change mark of
  // the byte there before, the caret states its undo and its redo bring
  // back, and the splices that take it back (or, once undone, make it again).
  struct TUndoStep {
    TUndoKind Kind = TUndoKind::ukByteChanged;
    int64_t Pos = 0;
    bool Mark = false;
    TUndoState Before, After;
    TEditStep Edit;
  };
  // Whether a step of kind may be recorded on the document as it is; false
  // (nothing done) for any but an insertion on an empty document. Raises
  // "Invalid CreateUndo argument" for a step that does not fit.
  bool StepAllowed(TUndoKind kind, int64_t pos, int64_t extra, int64_t count);
  // Begins the step in the journal; its splices follow, EndStep closes it.
  // A planned step (CreateUndo) keeps the pieces PlannedSplice names.
  TUndoStep BeginStep(TUndoKind kind, int64_t pos, const TUndoState& state, bool planned = false, int64_t extra = 0,
                      int64_t count = 0);
  TSplice PlannedSplice(TUndoKind kind, int64_t pos, int64_t extra, int64_t count);
  // Makes the journal's records of a crashed session again (journaling
  // them anew): the document, its undo and redo steps and marks.
  void Replay(const TJournalContents& contents);
  // The open step of a replay that did not end is taken back.
  void DropOpenStep(std::optional<TUndoStep>& open);
  static TUndoState UndoState(const TCaretState& state);
  // Ends a step whose splices are made: journaled and kept as the newest
  // undo step. A journal that cannot take the end takes the step back and
  // raises.
  void EndStep(TUndoStep&& step);
  // A step whose edit failed: its records are never written.
  void DropStepRecords() noexcept {
    FJournalBatch = nullptr;
    FStepRecords.clear();
  }
  // One edit with its undo step of kind: the oldCount bytes at pos become
  // the count bytes of data. False when the step was refused; a failed edit
  // leaves the document, the undo list and Modified as they were.
  bool RecordedEdit(TUndoKind kind, int64_t pos, int64_t oldCount, const uint8_t* data, int64_t count);
  // A nibble shift with its undo step of kind.
  bool RecordedShift(int64_t pos, bool highHalf, TUndoKind kind);
  // After a removal: metrics, the caret on (col, row) or the last byte.
  void ShowRemoval(int64_t row, int col);
  // The change marks after a step of kind at pos was made (redo too) or
  // taken back (undo): one rule for live edits and the journal's replay.
  void StepMarks(const TUndoStep& step, bool undone);
  // Replace all's steps (replaceall.cpp).
  struct TReplaceRun;
  void ReplacePasses(TReplaceRun& run);
  // The bytes first..stop-1 an edit of the selection acts on (the caret's
  // byte when nothing is selected) and the cell for the caret afterwards.
  void SelectionBounds(int64_t& first, int64_t& stop, int64_t& row, int& col);
  void RestoreUndoState(const TUndoState& state);
  void ResetRedo();
  // Takes the newest step back / makes the newest undone one again: the
  // document, the marks and the lists, without the journal or the caret.
  void UndoStep();
  void KeepWindow(const TUndoStep& step);
  void RedoStep();
  void UpdateUndoTexts();

  friend class TColors;

  // State, in declaration order.
  int FCharWidth = -1;
  int FRowHeight = 0;
  std::unique_ptr<TColors> FColors;
  TDifferenceMarks FDifferenceMarks;
  TLaneMap* FLaneMap = nullptr;
  bool FCellGap = false;  // the cell of the last GetPosAtCell is a gap of the lane
  std::vector<uint8_t> FDifferenceRow;  // the marks of one row, asked at paint FDifferencePaint
  int64_t FDifferenceRowIndex = -1;
  uint64_t FDifferencePaint = 0;
  int FBytesPerLine = 16;
  int FOffsetChars = -1;
  int FHexCells = 32;
  bool FSwapNibbles = false;
  bool FFocusFrame = true;
  bool FReadOnly = true;
  int FNibblesPerColumn = 4;
  bool FInCharField = false;
  // The document, its working copy, the read window and the change marks.
  TDocumentStore FStore;
  // Its crash record, made before the first change; journaling is held off
  // while undo, redo and rollbacks splice (their own records say it all).
  TJournal FJournal;
  TJournalHeader FJournalHeader;
  int64_t FCopyLimit = TWatchedFile::kCopyLimit;
  bool FChangeTold = false;  // the user was told that the opened file changed
  bool FJournalHeld = false;
  TCaretState FJournaledCaret;
  std::vector<TJournalRecord>* FJournalBatch = nullptr;  // splice records gathered for one write
  std::vector<TJournalRecord> FStepRecords;              // those of the step under way
  std::string FFileName = "Untitled";
  bool FUntitled = true;
  std::string FTempFileName;
  std::array<int64_t, 10> FMarkers;
  int64_t FSelMin = -1;
  int64_t FSelAnchor = -1;
  int64_t FSelMax = -1;
  bool FMouseSelecting = false;
  bool FCanUndo = false;
  std::string FUndoDescription = "No Undo";
  int FUndoCount = 0;
  std::deque<TUndoStep> FUndo;  // oldest first
  std::string FRedoDescription = "No Redo";
  int FRedoCount = 0;
  std::vector<TUndoStep> FRedo;  // the next to redo last
  TTranslationType FTranslation = TTranslationType::ttAnsi;
  bool FModified = false;
  bool FCreateBackup = true;
  std::string FBackupExtension = ".bak";
  TOffsetDisplayStyle FOffsetDisplay = TOffsetDisplayStyle::odHex;
  char FOffsetSeparator = ':';
  TCaretStyle FCaretStyle = TCaretStyle::csFull;
  bool FShowMarkerColumn = true;
  bool FOemCharEntry = false;
  bool FAltMoved = false;  // a key or a click came while Alt was held: its release is no character code
  bool FMaskWhiteSpaces = true;
  char FMaskChar = '.';

  std::string FLastError;
  // Live memory: the rows last looked at from FLiveFrom on, and when each
  // byte was last seen to change (0: not lately).
  int64_t FLiveFrom = -1;
  std::vector<uint8_t> FLiveSeen;
  std::vector<uint32_t> FLiveChangedAt;
  std::string FLastWarning;
  const uint64_t FSerial;
};

}  // namespace byteloom
