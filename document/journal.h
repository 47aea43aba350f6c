// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a document: its crash record. One file per document in the
// private work folder, made exclusively ("<8 hex digits>.BLWJ", mode 0600,
// O_CREAT|O_EXCL|O_NOFOLLOW relative to the folder's descriptor; a name that
// is taken is passed over). It starts with a header that pins the opened
// file (its name, any byte kept, and its identity), names the document's
// added-bytes file and its private snapshot, and says who owns it. Then come
// records, each [length][crc32][payload] and written with one write: the
// splices of the document, the start and end of each undo step, undos,
// redos and saves. Replaying the records over the file gives the document
// back with its change marks, caret and undo steps.
//
// A record counts only when it is whole: its length and check sum agree,
// its payload reads as a record, and the added bytes its pieces refer to are
// in the added-bytes file as they were when it was written. The first record
// that does not count ends the journal: it and everything after it are
// dropped, and the reader says so.
//
// What survives: Append hands the record to the kernel before it returns, so
// everything appended survives a crash of the process (kill -9 included). A
// power cut may take what was appended after the last Sync(): the records,
// and the added bytes they refer to (such a record then fails its check, and
// nothing after it counts). Sync() is the owner's to call; it writes the
// added bytes to the disk first and the journal after them.
//
// The owner holds a lock on its journal for as long as it lives, so a
// journal whose owner still runs (also in another PID namespace) is never
// touched; where the file system has no locks, the owner stamp in the header
// tells (boot, PID namespace, process id and start time).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace byteloom {

// --- The opened file's identity ---------------------------------------------------------

// What pins the file a document was opened from: where it is (device and
// inode), its size and modification time, and a hash of its content. The
// hash is SHA-256 over the whole file up to 4 MiB; over a larger file it
// covers the first MiB, 64 stretches of 4 KiB at the offsets size * k / 65
// (k = 1 .. 64, rounded down to 4 KiB) and the last MiB: at most 2.25 MiB are
// read at any size. A change elsewhere that keeps size and time is not seen.
struct TFileIdentity {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  int64_t Size = 0;
  int64_t ModifyTimeNs = 0;  // nanoseconds since the epoch
  std::array<uint8_t, 32> Hash{};

  // The identity of the open regular file fd. Raises EFileError when it is
  // not a regular file, cannot be read, or changed while it was read.
  static TFileIdentity Take(int fd, const std::string& name);
  bool operator==(const TFileIdentity&) const = default;
};

// Which part of an identity differs, the weightiest first.
// icMissing: the file cannot be opened or read any more.
enum class TIdentityChange { icSame, icMissing, icReplaced, icSize, icTime, icContent };
TIdentityChange CompareIdentity(const TFileIdentity& was, const TFileIdentity& now);
// "FILE was changed by another program (its size is different)." and so on.
std::string IdentityChangeText(const std::string& fileName, TIdentityChange change);

// --- Owners -------------------------------------------------------------------------------

// The process that owns a journal.
struct TOwnerStamp {
  int64_t Pid = 0;         // as its own PID namespace numbers it
  uint64_t StartTime = 0;  // clock ticks since boot, against reused ids
  std::string BootId;
  std::string PidSpace;
  bool operator==(const TOwnerStamp&) const = default;
};
// This process (asked once per process; a forked child asks again).
TOwnerStamp SelfStamp();
// Takes the owner's lock on fd (the owner's file, kept open for its life).
// Where the file system has no locks nothing is taken and the stamp tells.
// Raises EFileError.
void TakeOwnerLock(int fd, const std::string& name);
enum class TOwnerState { osAlive, osGone, osUnclear };
// Whether the owner of a file still runs. fd: the file, opened by the asker
// (-1 when it could not be opened; openErr the reason). The owner's lock
// answers where the file system has locks; else the boot, the PID
// namespace, the process id and its start time. What cannot be told is
// osUnclear.
TOwnerState OwnerStateOf(const TOwnerStamp& owner, int fd, int openErr = 0);

// --- Records ------------------------------------------------------------------------------

// A range of a source, in nibbles (nibble n of a source is the high half of
// its byte n / 2 when n is even, the low half when it is odd).
enum : uint8_t { kSourceFile = 0, kSourceAdded = 1, kSourceZeros = 2 };
struct TJournalPiece {
  uint8_t Source = kSourceFile;
  uint64_t Start = 0;
  uint64_t Length = 0;
  bool operator==(const TJournalPiece&) const = default;
};

// The caret, selection and modified state an undo (or redo) brings back.
struct TCaretState {
  int64_t Caret = 0;        // the byte of the caret's cell
  uint8_t CaretNibble = 0;  // in the hex field: 1 on the byte's low nibble
  bool InCharField = false;
  int64_t SelMin = -1, SelMax = -1, SelAnchor = -1;
  bool Modified = false;
  bool operator==(const TCaretState&) const = default;
};

enum class TJournalKind : uint8_t { jkSplice = 1, jkStepBegin, jkStepEnd, jkUndo, jkRedo, jkSaved, jkCaret, jkReplayed };
struct TJournalRecord {
  TJournalKind Kind = TJournalKind::jkSplice;
  // jkSplice: at At (nibbles) Removed nibbles gave way to Pieces.
  uint64_t At = 0;
  uint64_t Removed = 0;
  std::vector<TJournalPiece> Pieces;
  // jkStepBegin: an undo step of this kind (0 .. 7) begins; State is what
  // its undo brings back. jkStepEnd: it is complete; State is what its redo
  // brings back.
  uint8_t StepKind = 0;
  TCaretState State;
  // jkStepBegin: the byte the step acts at; Planned: the step was recorded
  // before its edit, which follows as splices outside the step; what it
  // keeps is the range Extra and Count give for its kind.
  int64_t StepPos = 0;
  bool Planned = false;
  int64_t StepExtra = 0, StepCount = 0;
  // jkSaved: the document is being saved as SavedName (absolute), the new
  // file of SavedIdentity, written before it replaces the old one; a
  // journal whose changes are all followed by a saved record has nothing to
  // give back once that file is in place.
  std::string SavedName;
  TFileIdentity SavedIdentity;
  // jkUndo, jkRedo: the newest step was undone / the next one redone;
  // State is where the caret was before (for an undo, what a redo brings
  // back; for a redo, what undoing it again brings back).
  // jkCaret: the caret and selection moved to State after a change.
  // jkReplayed: a recovery's journal holds all it replayed.
  bool operator==(const TJournalRecord&) const = default;
};

struct TJournalHeader {
  std::string FileName;      // absolute, any byte; empty for an untitled document
  bool Untitled = false;
  TFileIdentity Identity;    // of the opened file (nothing for an untitled one)
  std::string AddedName;     // the added-bytes file: a name in the same folder
  std::string SnapshotName;  // the private snapshot of the file there, "" when none
  TOwnerStamp Owner;         // filled in by TJournal::Create
  // The journal of a recovery, which replays another journal's records:
  // until its jkReplayed record it holds only part of them, and the other
  // journal still holds them all.
  bool Replay = false;
  bool operator==(const TJournalHeader&) const = default;
};

// The longest record a journal holds; a longer one is refused by Append and
// ends the journal for the reader.
constexpr int64_t kMaxJournalRecord = int64_t{64} << 20;

// --- Writing ------------------------------------------------------------------------------

class TJournal {
 public:
  TJournal() = default;
  TJournal(TJournal&&) noexcept = default;
  TJournal& operator=(TJournal&&) noexcept = default;
  // The journal is removed with its owner unless it was abandoned.
  ~TJournal() = default;

  // Makes a fresh journal in the private work folder, takes the owner's lock
  // and writes the header (the file name made absolute, the owner stamped).
  // added: the document's added-bytes file, which must outlive the journal.
  // Raises EFileError (no journal is left behind).
  static TJournal Create(const TJournalHeader& header, const TFileHandle& added);

  bool IsOpen() const { return FFile.IsOpen(); }
  const std::string& Name() const { return FFile.Name(); }
  // Appends one record with one write. The added bytes a splice refers to
  // must be in the added-bytes file already. Raises EFileError with the
  // journal as it was; where even that cannot be made sure of, every later
  // Append raises too (the journal then ends before the failed record).
  void Append(const TJournalRecord& record) { Append(std::vector<TJournalRecord>{record}); }
  // Appends records with one write: all of them, or (raising) none.
  void Append(const std::vector<TJournalRecord>& records);
  // Writes the added-bytes file, then the journal (and, the first time, the
  // folder's entries) to the disk. Raises EFileError.
  void Sync();
  // Removes the journal (the document was closed).
  void Remove();
  // Leaves the journal and the owner's lock as they are until the process
  // ends (it ends without saving; the next start offers the edits back).
  void Abandon();

 private:
  static constexpr int64_t kReserveStep = 64 * 1024;
  void Write(const std::string& bytes);

  TTempFile FFile;
  const TFileHandle* FAdded = nullptr;
  int64_t FEnd = 0;       // where the next record goes
  int64_t FReserved = 0;  // blocks allocated up to here
  bool FBroken = false;
  bool FFolderSynced = false;
};

// --- Reading ------------------------------------------------------------------------------

enum class TJournalTail { jtWhole, jtCutOff, jtCorrupted, jtAddedBytesMissing };
struct TJournalContents {
  TJournalHeader Header;
  std::vector<TJournalRecord> Records;  // those that count, in order
  TJournalTail Tail = TJournalTail::jtWhole;
  int64_t DroppedBytes = 0;             // how much of the file did not count
  // Whether a splice, undo or redo comes after the last saved record.
  bool HasChanges() const;
};

// Reads the journal name in the folder folderFd: opened without following a
// link and only when it is a regular file of this user; the added-bytes file
// likewise. problem: why it is not a journal that can be read (then false).
bool ReadJournal(int folderFd, const std::string& name, TJournalContents& out, std::string* problem = nullptr,
                 int64_t maxRecord = kMaxJournalRecord);

struct TFoundJournal {
  std::string Name;  // in the folder
  TJournalContents Contents;
};
// The journals in the folder folderFd whose owner is gone and that hold
// changes (not all in a file their save made) or a dropped tail, by name.
// A recovery's journal cut off before its jkReplayed record is removed: the
// journal it replayed still holds everything. Those without either are removed on
// the way, with their added-bytes file and snapshot; a journal that cannot
// be read, or whose owner runs or cannot be told, is left alone.
std::vector<TFoundJournal> FindJournals(int folderFd);
// Removes a found journal, and its added-bytes file and snapshot unless
// another journal names them (the user declined the recovery, or there was
// nothing to recover).
void DiscardJournal(int folderFd, const TFoundJournal& found);

// What a recovery rebuilds the document over: the opened file when it is
// still the one the header pins, else the private snapshot when it holds the
// same bytes (its size and hash). File is closed when neither can be used,
// and for an untitled document, which needs none; Change says how the file
// differs from the one the header pins.
struct TJournalSource {
  TFileHandle File;
  bool FromSnapshot = false;
  TIdentityChange Change = TIdentityChange::icSame;
};
TJournalSource OpenJournalSource(int folderFd, const TJournalHeader& header);

// The journal's added-bytes file, opened as ReadJournal opens it. Raises
// EFileError.
TFileHandle OpenJournalAdded(int folderFd, const TJournalHeader& header);

// Walks the records that count, calling back per record (a callback not
// given is skipped).
struct TJournalReplay {
  std::function<void(uint64_t at, uint64_t removed, const std::vector<TJournalPiece>& pieces)> OnSplice;
  std::function<void(uint8_t stepKind, const TCaretState& before)> OnStepBegin;
  std::function<void(const TCaretState& after)> OnStepEnd;
  std::function<void(const TCaretState& state)> OnUndo, OnRedo;
  std::function<void(const std::string& name, const TFileIdentity& identity)> OnSaved;
};
void ReplayJournal(const TJournalContents& contents, const TJournalReplay& replay);

}  // namespace byteloom
