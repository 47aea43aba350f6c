// SPDX-License-Identifier: GPL-3.0-or-later
// Named fields of a document: typed values at offsets ("the gold is a u32 at
// 0x120") and checksums stored in the document over a range of it ("the
// CRC-32 of 0x10..0x7FF, big-endian at 0x0C"). The rules here read and
// write them through the control (each write one undo step "Replace
// selection"), put the checksums to fix before a save in the order they
// depend on each other, and turn fields into a profile, a small text to
// share, and back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control/checksums.h"
#include "control/valuetypes.h"

namespace byteloom {

class TRegionLayout;

class TByteSource;
class THexEditor;

enum class TFieldKind : uint8_t { fkNumber, fkText, fkBytes, fkChecksum };

struct TField {
  std::string Name;
  int64_t Offset = 0;
  TFieldKind Kind = TFieldKind::fkNumber;
  TValueType Type = TValueType::vtU32;      // numbers
  TByteOrder Order = TByteOrder::boLittle;  // numbers and checksums that are numbers
  int64_t Length = 1;                       // text and byte strings
  TChecksumKind Algorithm = TChecksumKind::ckCrc32;
  int64_t From = 0;  // the first byte a checksum covers
  int64_t To = -1;   // the last one; -1: to the end of the document
  bool FixOnSave = false;
  bool operator==(const TField&) const = default;
};

// Bytes of the field's value.
int64_t FieldWidth(const TField& field);
// How the type column shows it: "u32 LE", "text 16", "bytes 4", "CRC-32 BE".
std::string FieldTypeText(const TField& field);
// A running program's window shows the program's regions anew (before ->
// after): every field moves to where its address now lies. False, with
// nothing changed, when one field's bytes are no longer all there (or a
// field is a checksum, whose range would not follow).
bool PlaceFieldsAnew(std::vector<TField>& fields, const TRegionLayout& before, const TRegionLayout& after);
// An offset as the fields show it: "0x1F".
std::string OffsetText(int64_t offset);
// An offset as typed: decimal, "$1F" or "0x1F"; nothing when it is no
// position.
std::optional<int64_t> ParseOffset(const std::string& text);

// The bytes a checksum covers in a document of size bytes.
struct TCoverage {
  int64_t First = 0;
  int64_t Count = 0;
};
// Why field cannot be read or written in a document of size bytes (its
// place or range past the end, a range that ends before it starts), or
// empty.
std::string FieldProblem(const TField& field, int64_t size);
TCoverage Coverage(const TField& field, int64_t size);

// A range as typed: its first byte, then its last byte (inclusive) or its
// length; with neither it runs to the end (last -1). Both may be given when
// they agree. Empty, or why the text is no range.
std::string ParseRange(const std::string& from, const std::string& to, const std::string& length, int64_t& first,
                       int64_t& last);
// Why first..last (-1: the end) is no range of a document of size bytes, or empty.
std::string RangeProblem(int64_t first, int64_t last, int64_t size);
// "0x10 ... 0x21 (18 bytes)"; to the end: "0x10 ... end (18 bytes)".
std::string RangeText(int64_t first, int64_t count, bool toEnd = false);
// The range a checksum covers as the fields table shows it.
std::string FieldRangeText(const TField& field, int64_t size);

// The value of a number, text or byte string as the document holds it.
std::string FieldValueText(TByteSource& source, const TField& field, TTranslationType translation);
// The bytes typed text gives the field, or why it cannot (out of the type's
// range, no number, too long, a character the set cannot hold).
TEncoded FieldBytes(const TField& field, const std::string& text, TTranslationType translation);
// Writes bytes at offset through the control as one undo step; empty, or
// why nothing was written.
std::string WriteBytes(THexEditor& editor, int64_t offset, const std::vector<uint8_t>& bytes);
// Typed text as the field's new value; empty, or why nothing changed.
std::string SetFieldValue(THexEditor& editor, const TField& field, const std::string& text);

// A checksum as stored and as computed over its range now (values most
// significant byte first, as ComputeChecksum gives them).
struct TChecksumState {
  std::vector<uint8_t> Stored, Computed;
  std::string Problem;  // the field does not fit the document
  bool Cancelled = false;
  bool Matches() const { return Problem.empty() && !Cancelled && Stored == Computed; }
};
TChecksumState CheckChecksum(TByteSource& source, const TField& field, const TProgress& progress = {});
// The bytes the document holds for a value in the field's byte order (a
// digest as it is), and back.
std::vector<uint8_t> StoredBytes(const TField& field, std::vector<uint8_t> value);
// Why a checksum cannot be fixed in a document of size bytes: it does not
// fit, or its range covers its own place (writing it would change what it
// is computed over); empty when it can. Fix and Fix on save share it.
std::string FixProblem(const TField& field, int64_t size);
// Writes the computed value where it does not match (one undo step);
// empty, or why nothing was written (FixProblem, a cancel).
std::string FixChecksum(THexEditor& editor, const TField& field, const TProgress& progress = {});

// The checksums to fix before a save, as indexes into fields, in the order
// they must be computed: one whose range holds the place of another comes
// after it. Error names one that covers its own place, or checksums that
// cover each other's places.
struct TFixPlan {
  std::vector<size_t> Order;
  std::string Error;
};
TFixPlan PlanFixOnSave(const std::vector<TField>& fields, int64_t size);
struct TFixOutcome {
  int Fixed = 0;          // checksums that were written
  std::string Error;      // nothing more was written after it
  bool Cancelled = false;
};
// Fixes the "Fix on save" checksums in plan order through the control.
TFixOutcome FixOnSave(THexEditor& editor, const std::vector<TField>& fields, const TProgress& progress = {});

// --- What the fields window shows and takes --------------------------------------------------

// A new field for count bytes at offset (the selection; 0: the caret's
// byte): u8, u16, u32 or u64 little-endian by the count, else a byte string.
TField FieldAt(int64_t offset, int64_t count);
// A new checksum (CRC-32, big-endian, Fix on save) stored at the caret over
// the rest of the document, or with a selection over the selected bytes and
// stored right after them (where most formats keep it) when it fits there.
TField NewChecksum(int64_t caret, int64_t selFirst, int64_t selCount, int64_t size);
// From bookmark: a field (as FieldAt) at each bookmark whose offset is a
// position, named after its comment.
class TBookmarkTable;
std::vector<TField> BookmarkFields(const TBookmarkTable& table);
// Adds the fields of more that list does not hold yet; how many.
int AddFields(std::vector<TField>& list, const std::vector<TField>& more);

// The field definition as typed: the numbers as text, the type as the
// index of the type box (the ten value types, then text, then bytes).
constexpr int kTypeText = kValueTypeCount, kTypeBytes = kValueTypeCount + 1;
struct TFieldEntry {
  bool Checksum = false;
  std::string Name, Offset, Length;
  std::string From, To, RangeLength;  // as ParseRange takes them
  int Type = static_cast<int>(TValueType::vtU32);
  TByteOrder Order = TByteOrder::boLittle;
  TChecksumKind Algorithm = TChecksumKind::ckCrc32;
  bool FixOnSave = false;
};
TFieldEntry EntryOf(const TField& field);
// The field the entry describes in a document of size bytes; empty, or why
// it describes none (a number that is no position, a place past the end).
std::string FieldFromEntry(const TFieldEntry& entry, int64_t size, TField& field);

// --- Fields of a running program's memory ---------------------------------------------------
// A field is kept at its document position; over a running program's
// memory it is shown and typed at the address the program has (the offset
// column's), elsewhere at its offset.

// "0x7FFD2A10" (an address) or "0x1F" (an offset).
std::string PlaceText(const THexEditor& editor, int64_t pos);
// EntryOf and FieldFromEntry with the field's place as the document shows
// it. A running program's memory takes no checksum.
TFieldEntry EntryOf(const TField& field, const THexEditor& editor);
std::string FieldFromEntry(TFieldEntry entry, const THexEditor& editor, TField& field);
// The fields of from's document placed for to's (Apply to): a program's
// fields at the same addresses of the other; none between a program and a
// file. problem: what was not applied.
std::vector<TField> FieldsFor(const THexEditor& from, const std::vector<TField>& fields, const THexEditor& to,
                              std::string& problem);

// A row of the fields table: the value now and, for a checksum, the value
// computed over its range.
enum class TRowState : uint8_t { rsValue, rsMatch, rsMismatch, rsProblem, rsNotComputed };
struct TFieldRow {
  std::string Value, Computed;
  TRowState State = TRowState::rsValue;
  std::string Range = {};  // of a checksum (FieldRangeText)
  bool Held = false;       // Keep at value writes it back
};
// The rows of fields; once progress stops the work, the checksums left are
// not computed.
std::vector<TFieldRow> FieldRows(TByteSource& source, const std::vector<TField>& fields, TTranslationType translation,
                                 const TProgress& progress = {});

// "2 fields; 1 checksum does not match": the status of rows.
std::string FieldsSummary(const std::vector<TFieldRow>& rows);
// Tools > Checksum of selection: the selection, or the whole document when
// nothing is selected, and how the dialog names it; or a range typed there
// (as ParseRange takes it), or why it is none (Error).
struct TChecksumRange {
  int64_t First = 0, Count = 0;
  std::string Text, Error;
};
TChecksumRange ChecksumRange(THexEditor& editor);
TChecksumRange ChecksumRange(const std::string& from, const std::string& to, const std::string& length, int64_t size);

// Profiles: the fields as lines of text, with the version line first,
//   byteloom-fields 1
//   field offset=0x20 type=u32 order=le name=gold
//   field offset=0x40 type=text length=16 name=hero
//   checksum offset=0xC algorithm=crc32 from=0x10 to=end order=be fix-on-save=yes name=crc
// "#" starts a comment line; the name takes the rest of its line.
constexpr int kProfileVersion = 1;
std::string ProfileText(const std::vector<TField>& fields);
// One field line (without its line end); empty, or what is wrong with it.
// notes receives what was ignored in a line that was read.
// A field of a running program's memory is saved at its address
// ("address=0x7F..." for "offset="); atAddress tells which was read.
std::string FieldLine(const TField& field, bool atAddress = false);
std::string ParseFieldLine(const std::string& line, TField& field, std::vector<std::string>& notes,
                           bool* atAddress = nullptr);
struct TProfile {
  std::vector<TField> Fields;
  std::vector<bool> AtAddress;  // of each field: its Offset is an address
  std::vector<std::string> Skipped;  // "line 4: ...", what was not read
};
TProfile ParseProfile(const std::string& text);
// The fields of a window, saved: a running program's at their addresses.
std::string ProfileText(const std::vector<TField>& fields, const THexEditor& editor);
// The profile's fields for the document of editor: in a running program's
// memory the addresses become positions and offsets (of a file) are
// skipped, as are checksums and addresses the program does not have; in a
// file the addresses (of a program) are skipped.
void PlaceProfile(TProfile& profile, const THexEditor& editor);
// Load profile: adds the fields of the profile file at path to fields
// (those not held yet). Error: the file cannot be read (nothing added);
// else the report to show, with the lines skipped (Skipped: there were some).
struct TProfileLoad {
  std::string Error, Report;
  bool Skipped = false;
};
// With places, the profile is placed for its document first (PlaceProfile).
TProfileLoad LoadProfile(const std::string& path, std::vector<TField>& fields, const THexEditor* places = nullptr);

// The fields kept per file, as the settings folder's store holds them: the
// version line, then for each file a line "file PATH" (the path escaped as
// in every store) and its field lines. The lines of a file are kept as they
// are until its fields change; the least recently changed files go first.
class TFieldStore {
 public:
  static constexpr size_t kMaxFiles = 200;
  void Parse(const std::string& text);
  std::string Text() const;
  // The fields kept for path.
  TProfile Fields(const std::string& path) const;
  // Keeps fields for path (none: forgets path).
  void Keep(const std::string& path, const std::vector<TField>& fields);

 private:
  struct TEntry {
    std::string Path;
    std::string Lines;  // each with its "\n"
  };
  std::vector<TEntry> FEntries;  // most recently changed last
};

}  // namespace byteloom
