// SPDX-License-Identifier: GPL-3.0-or-later
// Checksums against their check values, the system's tools and plain
// models; named fields read and written through the control; the order of
// Fix on save; profiles and the per-file store.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <tuple>

#include "control/bookmarks.h"
#include "control/bytesource.h"
#include "control/checksums.h"
#include "editor/fields.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

using K = TChecksumKind;

std::string Hex(K kind, const Bytes& data, int32_t first, int32_t count) {
  TBufferSource source(data);
  return HexDigits(ComputeChecksum(source, first, count, kind));
}

// The first word a command prints.
std::string FirstWord(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  char buf[256] = {};
  const bool read = pipe && std::fscanf(pipe, "%255s", buf) == 1;
  if (pipe) pclose(pipe);
  return read ? buf : "";
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Plain bitwise models of the CRCs and sums of our own.
uint64_t Model(K kind, const uint8_t* p, size_t n) {
  uint64_t v = kind == K::ckCrc32C ? 0xFFFFFFFF : kind == K::ckCrc16CcittFalse ? 0xFFFF : 0;
  for (size_t i = 0; i < n; ++i) {
    if (kind == K::ckCrc16CcittFalse) {
      v ^= uint64_t{p[i]} << 8;
      for (int b = 0; b < 8; ++b) v = ((v << 1) ^ ((v & 0x8000) ? 0x1021 : 0)) & 0xFFFF;
    } else if (kind == K::ckCrc32C || kind == K::ckCrc16Arc) {
      v ^= p[i];
      for (int b = 0; b < 8; ++b) v = (v >> 1) ^ ((v & 1) ? (kind == K::ckCrc32C ? 0x82F63B78 : 0xA001) : 0);
    } else if (kind == K::ckXor8) {
      v ^= p[i];
    } else {
      v += p[i];
    }
  }
  v ^= kind == K::ckCrc32C ? 0xFFFFFFFF : 0;
  const int bits = 8 * ChecksumWidth(kind);
  return bits == 64 ? v : v & ((uint64_t{1} << bits) - 1);
}

TEST(Checksums, CheckValuesOf123456789) {
  const Bytes check = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  const std::pair<K, const char*> rows[] = {
      {K::ckCrc32, "CBF43926"},         {K::ckCrc32C, "E3069283"},
      {K::ckCrc16CcittFalse, "29B1"},   {K::ckCrc16Arc, "BB3D"},
      {K::ckAdler32, "091E01DE"},       {K::ckSum8, "DD"},
      {K::ckSum16, "01DD"},             {K::ckSum32, "000001DD"},
      {K::ckXor8, "31"},                {K::ckMd5, "25F9E794323B453885F5181F1B624D0B"},
      {K::ckSha1, "F7C3BC1D808E04732ADF679965CCC34CA7AE3441"},
      {K::ckSha256, "15E2B0D3C33891EBB0F1EF609EC419420C20E320CE94C65FBC8C3312448EB225"}};
  for (const auto& [kind, value] : rows) {
    EXPECT_EQ(Hex(kind, check, 0, 9), value) << ChecksumName(kind);
    EXPECT_EQ(ChecksumByKey(ChecksumKey(kind)), kind);
    EXPECT_EQ(2 * ChecksumWidth(kind), static_cast<int>(std::string(value).size()));
  }
  EXPECT_FALSE(ChecksumByKey("crc99"));
}

class ChecksumFiles : public TempDirTest {};

// Ranges near the read pieces' seams, empty ones and the whole document
// against crc32, md5sum, sha1sum, sha256sum and Python's zlib; the other
// algorithms against the plain models.
TEST_F(ChecksumFiles, RandomRangesAgreeWithTheToolsAndModels) {
  if (FirstWord("for t in crc32 md5sum sha1sum sha256sum python3; do command -v $t; done | wc -l") != "5")
    GTEST_SKIP() << "crc32 (libarchive-zip-perl), coreutils or python3 missing; scripts/setup installs them";
  std::mt19937 rng(11);
  Bytes doc(2 * kChecksumPiece + 777);
  for (auto& b : doc) b = static_cast<uint8_t>(rng());
  const std::pair<int32_t, int32_t> ranges[] = {
      {0, static_cast<int32_t>(doc.size())}, {kChecksumPiece - 3, 9}, {5, kChecksumPiece}, {100, 0},
      {static_cast<int32_t>(doc.size()), 0}, {kChecksumPiece + 1, kChecksumPiece + 700}, {static_cast<int32_t>(rng() % 1000), 1}};
  const std::pair<K, std::string> tools[] = {
      {K::ckCrc32, "crc32 R"}, {K::ckMd5, "md5sum R"}, {K::ckSha1, "sha1sum R"}, {K::ckSha256, "sha256sum R"},
      {K::ckCrc32, "python3 -c \"import zlib,sys; print('%08x' % zlib.crc32(open(sys.argv[1],'rb').read()))\" R"},
      {K::ckAdler32, "python3 -c \"import zlib,sys; print('%08x' % zlib.adler32(open(sys.argv[1],'rb').read()))\" R"}};
  for (const auto& [first, count] : ranges) {
    const std::string file = Path("range.bin");
    WriteFile(file, Bytes(doc.begin() + first, doc.begin() + first + count));
    for (const auto& [kind, command] : tools) {
      std::string c = command;
      c.replace(c.rfind('R'), 1, "'" + file + "'");
      EXPECT_EQ(Hex(kind, doc, first, count), Upper(FirstWord(c))) << c << " at " << first << "+" << count;
    }
    for (K kind : {K::ckCrc32C, K::ckCrc16CcittFalse, K::ckCrc16Arc, K::ckSum8, K::ckSum16, K::ckSum32, K::ckXor8}) {
      char model[17];
      std::snprintf(model, sizeof model, "%0*llX", 2 * ChecksumWidth(kind),
                    static_cast<unsigned long long>(Model(kind, doc.data() + first, static_cast<size_t>(count))));
      EXPECT_EQ(Hex(kind, doc, first, count), model) << ChecksumName(kind) << " at " << first << "+" << count;
    }
  }
}

TEST(Checksums, OnePassForManyProgressAndCancel) {
  Bytes doc(3 * kChecksumPiece, 7);
  TBufferSource source(doc);
  std::vector<int64_t> seen;
  const auto all = ComputeChecksums(source, 1, 3 * kChecksumPiece - 1, {K::ckSum32, K::ckXor8},
                                    [&](int64_t done, int64_t total) { seen.push_back(done * 10 / total); return true; });
  ASSERT_TRUE(all);
  EXPECT_EQ(HexDigits((*all)[0]), "0053FFF9");  // 7 * (3 * 256 KiB - 1)
  EXPECT_EQ(seen, (std::vector<int64_t>{3, 6, 10}));
  int calls = 0;
  EXPECT_FALSE(ComputeChecksums(source, 0, 3 * kChecksumPiece, {K::ckSha256}, [&](int64_t, int64_t) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
  EXPECT_THROW(ComputeChecksum(source, 1, 3 * kChecksumPiece, K::ckCrc32), std::out_of_range);
}

// --- Typed fields ---------------------------------------------------------------------------

TField Number(TValueType type, TByteOrder order, int32_t offset = 0) {
  TField f;
  f.Offset = offset;
  f.Type = type;
  f.Order = order;
  return f;
}

TEST(Fields, EveryTypeAndOrderRoundTrips) {
  std::mt19937 rng(3);
  for (int t = 0; t < kValueTypeCount; ++t) {
    const auto type = static_cast<TValueType>(t);
    for (TByteOrder order : {TByteOrder::boLittle, TByteOrder::boBig}) {
      const TField f = Number(type, order, 3);
      const std::string widest = WidestValueText(type);
      for (const std::string& text : {widest, std::string(IsFloatType(type) ? "-0.5" : "0"),
                                      std::to_string(rng() % 100), std::string(IsSignedType(type) ? "-7" : "200")}) {
        const TEncoded e = FieldBytes(f, text, TTranslationType::ttAnsi);
        ASSERT_EQ(e.Error, "") << ValueTypeName(type) << " " << text;
        Bytes doc(3 + e.Bytes.size() + 2, 0xEE);
        std::copy(e.Bytes.begin(), e.Bytes.end(), doc.begin() + 3);
        TBufferSource source(doc);
        EXPECT_EQ(FieldValueText(source, f, TTranslationType::ttAnsi), text) << ValueTypeName(type);
      }
    }
  }
  // Byte order puts the most significant byte last or first.
  EXPECT_EQ(FieldBytes(Number(TValueType::vtU32, TByteOrder::boLittle), "0x11223344", {}).Bytes, (Bytes{0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(FieldBytes(Number(TValueType::vtI16, TByteOrder::boBig), "-2", {}).Bytes, (Bytes{0xFF, 0xFE}));
}

TEST(Fields, TextAndByteStringsAndRefusals) {
  TField text;
  text.Kind = TFieldKind::fkText;
  text.Length = 6;
  TField bytes = text;
  bytes.Kind = TFieldKind::fkBytes;
  bytes.Length = 3;
  struct Row {
    TField Field;
    TTranslationType Set;
    std::string In;
    Bytes Out;  // empty: refused
  };
  const TField u8 = Number(TValueType::vtU8, TByteOrder::boLittle), i32 = Number(TValueType::vtI32, TByteOrder::boBig);
  const Row rows[] = {
      {text, TTranslationType::ttAnsi, "Gold", {'G', 'o', 'l', 'd', 0, 0}},
      {text, TTranslationType::ttAnsi, "Caf\xC3\xA9", {'C', 'a', 'f', 0xE9, 0, 0}},
      {text, TTranslationType::ttDos8, "Caf\xC3\xA9", {'C', 'a', 'f', 0x82, 0, 0}},
      {text, TTranslationType::ttEBCDIC, "AB", {0xC1, 0xC2, 0, 0, 0, 0}},
      {text, TTranslationType::ttAnsi, "Goldcoin", {}},        // too long
      {text, TTranslationType::ttDos8, "\xE2\x82\xAC", {}},    // no euro sign in code page 437
      {text, TTranslationType::ttAnsi, "\xE4\xB8\x80", {}},    // no such character in Windows-1252
      {bytes, TTranslationType::ttAnsi, "de ad BE", {0xDE, 0xAD, 0xBE}},
      {bytes, TTranslationType::ttAnsi, "de ad", {}},
      {bytes, TTranslationType::ttAnsi, "de ad bx", {}},
      {u8, TTranslationType::ttAnsi, "256", {}},
      {u8, TTranslationType::ttAnsi, "-1", {}},
      {i32, TTranslationType::ttAnsi, "nan", {}},
      {i32, TTranslationType::ttAnsi, "1.5", {}},
      {i32, TTranslationType::ttAnsi, "", {}},
  };
  for (const Row& r : rows) {
    const TEncoded e = FieldBytes(r.Field, r.In, r.Set);
    EXPECT_EQ(e.Bytes, r.Out) << r.In;
    EXPECT_EQ(e.Error.empty(), !r.Out.empty()) << r.In << ": " << e.Error;
    if (r.Out.empty()) continue;
    TBufferSource source(r.Out);
    EXPECT_EQ(FieldValueText(source, r.Field, r.Set), r.Field.Kind == TFieldKind::fkBytes ? "DE AD BE" : r.In);
  }
  EXPECT_EQ(FieldBytes(u8, "300", {}).Error, "\"300\" is no u8 value (0 ... 255)");
}

class FieldEdits : public EditorTest {};

TEST_F(FieldEdits, AValueIsOneUndoStepAndBadInputChangesNothing) {
  Load(Bytes(16, 0));
  const TField gold = Number(TValueType::vtU32, TByteOrder::boLittle, 4);
  EXPECT_EQ(SetFieldValue(*Ed, gold, "999"), "");
  EXPECT_EQ(Document(), (Bytes{0, 0, 0, 0, 0xE7, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Ed->UndoDescription(), "Replace selection");
  EXPECT_EQ(SetFieldValue(*Ed, gold, "999"), "");  // the same value: no second step
  const Bytes before = Document();
  for (const TField& bad : {Number(TValueType::vtU64, TByteOrder::boBig, 12), Number(TValueType::vtU8, TByteOrder::boBig, 16)})
    EXPECT_NE(SetFieldValue(*Ed, bad, "1"), "");
  EXPECT_NE(SetFieldValue(*Ed, gold, "-5"), "");
  EXPECT_EQ(Document(), before);
  Ed->Undo();
  EXPECT_EQ(Document(), Bytes(16, 0));
}

// A save: CRC-32 (big-endian at 0x0C) over 0x10..end, which holds a sum of
// bytes (little-endian at 0x20) over 0x30..0x3F. Listed outer first, fixed
// inner first.
TEST_F(FieldEdits, FixOnSaveComputesANestedChecksumFirst) {
  std::mt19937 rng(5);
  Bytes doc(0x80);
  for (auto& b : doc) b = static_cast<uint8_t>(rng());
  Load(doc);
  TField crc;
  crc.Name = "crc";
  crc.Kind = TFieldKind::fkChecksum;
  crc.Offset = 0x0C;
  crc.From = 0x10;
  crc.Order = TByteOrder::boBig;
  crc.FixOnSave = true;
  TField sum = crc;
  sum.Name = "sum";
  sum.Algorithm = K::ckSum16;
  sum.Offset = 0x20;
  sum.From = 0x30;
  sum.To = 0x3F;
  sum.Order = TByteOrder::boLittle;
  std::vector<TField> fields = {crc, Number(TValueType::vtU8, TByteOrder::boLittle, 0x40), sum};
  EXPECT_EQ(PlanFixOnSave(fields, 0x80).Order, (std::vector<size_t>{2, 0}));
  const TFixOutcome outcome = FixOnSave(*Ed, fields);
  EXPECT_EQ(outcome.Error, "");
  EXPECT_EQ(outcome.Fixed, 2);
  TEditorSource source(*Ed);
  EXPECT_TRUE(CheckChecksum(source, crc).Matches());
  EXPECT_TRUE(CheckChecksum(source, sum).Matches());
  const Bytes now = Document();
  EXPECT_EQ(HexDigits({now.begin() + 0x0C, now.begin() + 0x10}), Hex(K::ckCrc32, now, 0x10, 0x70));
  EXPECT_EQ(FixOnSave(*Ed, fields).Fixed, 0);  // all in order: nothing written
  // Fix refuses what Fix on save refuses, in the same words, and writes nothing.
  const auto at = [&](int32_t offset, int32_t from, int32_t to) {
    TField f = crc;
    f.Offset = offset, f.From = from, f.To = to;
    return f;
  };
  const std::pair<TField, std::string> fixes[] = {
      {at(0x08, 0, -1), "The checksum \"crc\" covers its own place at 0x8"},
      {at(0x0E, 0x10, -1), "The checksum \"crc\" covers its own place at 0xE"},  // its last two bytes
      {at(0x7C, 0x10, 0x7C), "The checksum \"crc\" covers its own place at 0x7C"},  // its first byte
      {at(0x0C, 0x10, 0x80), "The checksum \"crc\": The range ends past the end of the document"},
      {at(0x7C, 0x10, 0x7B), ""},
  };
  for (const auto& [field, error] : fixes) {
    const Bytes before = Document();
    EXPECT_EQ(FixChecksum(*Ed, field), error);
    EXPECT_EQ(PlanFixOnSave({field}, 0x80).Error, error);
    if (!error.empty()) {
      EXPECT_EQ(Document(), before) << error;
    }
  }
  EXPECT_TRUE(CheckChecksum(source, at(0x7C, 0x10, 0x7B)).Matches());
  // Refusals, and a cancel that writes nothing.
  TField self = crc;
  self.From = 0;
  TField cover = sum;
  cover.From = 0;
  cover.To = 0x0F;
  TField twin = sum;
  twin.Offset = 0x21;
  for (const auto& [list, error] : std::vector<std::pair<std::vector<TField>, std::string>>{
           {{self}, "The checksum \"crc\" covers its own place at 0xC"},
           {{crc, cover}, "The checksums \"crc\", \"sum\" cover each other's places; none of them can be computed last"},
           {{sum, twin}, "The checksums \"sum\" and \"sum\" are stored in the same place"}})
    EXPECT_EQ(PlanFixOnSave(list, 0x80).Error, error);
  EXPECT_EQ(SetFieldValue(*Ed, Number(TValueType::vtU8, TByteOrder::boLittle, 0x50), std::to_string(now[0x50] ^ 1)), "");
  const Bytes changed = Document();
  const TFixOutcome cancelled = FixOnSave(*Ed, fields, [](int64_t, int64_t) { return false; });
  EXPECT_TRUE(cancelled.Cancelled);
  EXPECT_EQ(Document(), changed);
}

// What the window takes: a field of the selection, the dialog's entries,
// the status line and the range of Checksum of selection.
TEST_F(FieldEdits, EntriesSelectionsAndSummaries) {
  Load(Bytes(0x40, 0));
  for (const auto& [count, type] : std::vector<std::pair<int32_t, std::string>>{
           {0, "u32 LE"}, {1, "u8"}, {2, "u16 LE"}, {8, "u64 LE"}, {3, "bytes 3"}, {16, "bytes 16"}})
    EXPECT_EQ(FieldTypeText(FieldAt(5, count)), type);
  struct Row {
    TFieldEntry Entry;
    std::string Error;  // empty: taken
    std::string Range = {};  // of a checksum taken
  };
  TFieldEntry sum;
  sum.Checksum = true;
  sum.Offset = "0";
  sum.From = "$10";
  sum.To = "";
  TFieldEntry text;
  text.Type = kTypeText;
  text.Offset = "0x30";
  text.Length = "16";
  const auto with = [](TFieldEntry e, std::string TFieldEntry::*member, std::string value) {
    e.*member = std::move(value);
    return e;
  };
  const Row rows[] = {
      {sum, "", "0x10 ... end (48 bytes)"},
      {with(sum, &TFieldEntry::RangeLength, "0x10"), "", "0x10 ... 0x1F (16 bytes)"},
      {with(sum, &TFieldEntry::RangeLength, "0x31"), "The range ends past the end of the document"},
      {text, ""},
      {with(text, &TFieldEntry::Length, "17"), "The field at 0x30 (17 bytes) does not fit in the document of 64 bytes"},
      {with(text, &TFieldEntry::Length, "0"), "The length \"0\" is no number of bytes from 1 to 65536"},
      {with(text, &TFieldEntry::Offset, "zz"), "The offset \"zz\" is no position (decimal, $hex or 0xhex)"},
      {with(sum, &TFieldEntry::To, "0x40"), "The range ends past the end of the document"},
      {with(sum, &TFieldEntry::To, "8"), "The range ends before it starts"},
      {with(sum, &TFieldEntry::From, "-1"), "The range's start \"-1\" is no position (decimal, $hex or 0xhex)"},
  };
  for (const Row& r : rows) {
    TField f;
    EXPECT_EQ(FieldFromEntry(r.Entry, 0x40, f), r.Error) << r.Entry.Offset;
    if (r.Error.empty() && r.Entry.Checksum) {
      EXPECT_EQ(FieldRangeText(f, 0x40), r.Range);
    }
    if (r.Error.empty()) {
      TField back;
      EXPECT_EQ(FieldFromEntry(EntryOf(f), 0x40, back), "");
      EXPECT_EQ(back, f);
    }
  }
  TBookmarkTable marks;
  marks.SetCell(0, 2, "$20");
  marks.SetCell(1, 2, " Gold \xE9 ");
  marks.SetCell(0, 4, "soon");
  const std::vector<TField> fromMarks = BookmarkFields(marks);
  ASSERT_EQ(fromMarks.size(), 1u);
  EXPECT_EQ(fromMarks[0].Name, "Gold \xC3\xA9");
  EXPECT_EQ(fromMarks[0].Offset, 0x20);
  EXPECT_EQ(FieldsSummary({{}}), "1 field");
  EXPECT_EQ(FieldsSummary({{"", "", TRowState::rsMismatch}, {}, {"", "", TRowState::rsMismatch}}),
            "3 fields; 2 checksums do not match");
  EXPECT_EQ(ChecksumRange(*Ed).Text, "The whole document (64 bytes)");
  Ed->SetSelStart(0x21);
  Ed->SetSelEnd(0x10);
  const TChecksumRange range = ChecksumRange(*Ed);
  EXPECT_EQ(range.Text, "The selection 0x10 ... 0x21 (18 bytes)");
  EXPECT_EQ(range.First, 0x10);
}

// A range typed as first..last or first + length (Checksum of selection,
// the checksum field), and a new checksum of the selection.
TEST(Fields, RangesByLastByteOrLengthAndNewChecksums) {
  struct Row {
    const char *From, *To, *Length;
    std::string Shown;  // the range, or why it is none
  };
  const Row rows[] = {
      {"0x85", "", "27", "The range 0x85 ... 0x9F (27 bytes)"},
      {"$85", "159", "0x1B", "The range 0x85 ... 0x9F (27 bytes)"},
      {"0x85", "0x9F", "28", "The range's last byte 0x9F and its length 28 do not agree: give one of them"},
      {"0x85", "end", "", "The range 0x85 ... end (123 bytes)"},
      {"0x85", "", "0", "The range's length \"0\" is no number of bytes (1 or more)"},
      {"0x85", "", "124", "The range ends past the end of the document"},
      {"0x7FFFFFFFFFFFFFFF", "", "2", "The range ends past the end of the document"},
  };
  for (const Row& r : rows) {
    const TChecksumRange range = ChecksumRange(r.From, r.To, r.Length, 0x100);
    EXPECT_EQ(range.Error.empty() ? range.Text : range.Error, r.Shown) << r.From << " " << r.To << " " << r.Length;
  }
  // Stored right after the selection when there is room, else at the caret.
  struct New {
    int32_t Caret, SelFirst, SelCount;
    int32_t Offset, From, To;
  };
  for (const New& n : {New{5, 0, 0, 5, 0, -1}, New{0xFF, 0xF0, 16, 0xFF, 0xF0, 0xFF}, New{0xFB, 0xF0, 12, 0xFC, 0xF0, 0xFB}}) {
    const TField f = NewChecksum(n.Caret, n.SelFirst, n.SelCount, 0x100);
    EXPECT_EQ(std::make_tuple(f.Offset, f.From, f.To), std::make_tuple(n.Offset, n.From, n.To)) << n.SelFirst;
    EXPECT_TRUE(f.FixOnSave);
  }
}

// --- Profiles and the store ------------------------------------------------------------------

std::vector<TField> SampleFields() {
  TField gold = Number(TValueType::vtI64, TByteOrder::boBig, 0x120);
  gold.Name = "gold = coins";
  TField hero;
  hero.Kind = TFieldKind::fkText;
  hero.Offset = 0x40;
  hero.Length = 16;
  hero.Name = "hero";
  TField flags = hero;
  flags.Kind = TFieldKind::fkBytes;
  flags.Length = 4;
  flags.Name = "";
  TField crc;
  crc.Kind = TFieldKind::fkChecksum;
  crc.Name = "crc";
  crc.Offset = 0x0C;
  crc.Algorithm = K::ckSha256;
  crc.From = 0x10;
  crc.To = 0x7FF;
  crc.FixOnSave = true;
  return {gold, hero, flags, crc};
}

TEST(Profiles, RoundTripAndBadLines) {
  const std::vector<TField> fields = SampleFields();
  const TProfile back = ParseProfile(ProfileText(fields));
  EXPECT_EQ(back.Fields, fields);
  EXPECT_TRUE(back.Skipped.empty());
  EXPECT_EQ(FieldLine(fields[3]),
            "checksum offset=0xC algorithm=sha256 from=0x10 to=0x7FF order=le fix-on-save=yes name=crc");

  const TProfile bad = ParseProfile(
      "# a comment\r\n"
      "byteloom-fields 2\n"
      "\n"
      "field offset=0x20 type=u32 order=le colour=red name=gold\n"  // read, colour left out
      "field offset=0x20 type=u33 name=x\n"
      "field type=u8 name=no offset\n"
      "field offset=12 type=text name=no length\n"
      "checksum offset=0 algorithm=crc99 name=y\n"
      "checksum offset=0 algorithm=crc32 to=soon name=z\n"
      "sticker offset=0\n"
      "field offset=-4 type=u8\n"
      "checksum offset=$10 algorithm=md5 fix-on-save=yes\n");
  ASSERT_EQ(bad.Fields.size(), 2u);
  EXPECT_EQ(bad.Fields[0].Name, "gold");
  EXPECT_EQ(bad.Fields[1].Offset, 16);
  EXPECT_EQ(bad.Fields[1].To, -1);
  const std::vector<std::string> lines = {"line 2: ", "line 4: ", "line 5: ", "line 6: ", "line 7: ",
                                          "line 8: ", "line 9: ", "line 10: ", "line 11: "};
  ASSERT_EQ(bad.Skipped.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(bad.Skipped[i].rfind(lines[i], 0), 0u) << bad.Skipped[i];
  EXPECT_EQ(bad.Skipped[1], "line 4: \"colour\" is not known here; it was left out");
  EXPECT_EQ(ParseProfile("field offset=1 type=u8 name=a\n").Skipped.size(), 1u);  // no version line: said, still read
}

class ProfileFiles : public TempDirTest {};

TEST_F(ProfileFiles, LoadAddsWhatIsNewAndListsTheSkippedLines) {
  const std::string path = Path("game.fields");
  const std::string text = ProfileText(SampleFields()) + "sticker\n";
  WriteFile(path, Bytes(text.begin(), text.end()));
  std::vector<TField> fields = {SampleFields()[0]};
  const TProfileLoad load = LoadProfile(path, fields);
  EXPECT_EQ(load.Report, "Skipped lines:\n3 of the profile's 4 fields added.\nline 6: not a field (\"field ...\" or \"checksum ...\"): sticker");
  EXPECT_EQ(fields, SampleFields());
  EXPECT_EQ(LoadProfile(Path("none"), fields).Error, Path("none") + " does not exist");
  EXPECT_EQ(fields.size(), 4u);
}

TEST(Profiles, TheStoreKeepsEachFilesFields) {
  TFieldStore store;
  const std::vector<TField> fields = SampleFields();
  store.Keep("/saves/a\tb.sav", fields);
  store.Keep("/saves/c.sav", {fields[0]});
  store.Keep("/saves/d.sav", {fields[1]});
  store.Keep("/saves/d.sav", {});
  TFieldStore again;
  again.Parse(store.Text());
  EXPECT_EQ(again.Fields("/saves/a\tb.sav").Fields, fields);
  EXPECT_EQ(again.Fields("/saves/c.sav").Fields, std::vector<TField>{fields[0]});
  EXPECT_TRUE(again.Fields("/saves/d.sav").Fields.empty());
  EXPECT_EQ(again.Text(), store.Text());
  for (size_t k = 0; k <= TFieldStore::kMaxFiles; ++k) again.Keep("/f" + std::to_string(k), {fields[0]});
  EXPECT_TRUE(again.Fields("/saves/a\tb.sav").Fields.empty());  // the oldest went first
}

}  // namespace
}  // namespace byteloom::test
