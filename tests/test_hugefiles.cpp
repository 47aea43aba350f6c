// SPDX-License-Identifier: GPL-3.0-or-later
// Files far beyond 4 GiB, end to end through the control: sparse files of
// 3 GiB, 2^32 + 17 bytes and 1 TiB with a few real bytes near 0, 2^31, 2^32
// and the end are edited, searched, replaced, given fields and checksums,
// dumped, saved and compared. A model of the document's non-zero nibbles says what each step
// must leave; the saved file is checked with Python against a file the
// model writes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "compare/compareengine.h"
#include "compare/diffengine.h"
#include "control/checksums.h"
#include "control/findall.h"
#include "editor/fields.h"
#include "editor/findexpr.h"
#include "output/dumpformat.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

constexpr int64_t k2G = int64_t{1} << 31, k4G = int64_t{1} << 32;

// The document as its non-zero nibbles (nibble 2p is the high half of byte p).
class TSparseModel {
 public:
  int64_t Size = 0;
  std::map<int64_t, uint8_t> Nibbles;

  uint8_t Byte(int64_t p) const { return static_cast<uint8_t>(Nibble(2 * p) << 4 | Nibble(2 * p + 1)); }
  Bytes Window(int64_t p, int64_t n) const {
    Bytes out;
    for (int64_t i = p; i < p + n; ++i) out.push_back(Byte(i));
    return out;
  }
  void Write(int64_t p, const Bytes& data) {
    for (size_t i = 0; i < data.size(); ++i) {
      SetNibble(2 * (p + static_cast<int64_t>(i)), data[i] >> 4);
      SetNibble(2 * (p + static_cast<int64_t>(i)) + 1, data[i] & 15);
    }
    Size = std::max(Size, p + static_cast<int64_t>(data.size()));
  }
  void Insert(int64_t p, const Bytes& data) {
    Shift(2 * p, 2 * static_cast<int64_t>(data.size()));
    Size += static_cast<int64_t>(data.size());
    Write(p, data);
  }
  void Erase(int64_t p, int64_t n) {
    Nibbles.erase(Nibbles.lower_bound(2 * p), Nibbles.lower_bound(2 * (p + n)));
    Shift(2 * (p + n), -2 * n);
    Size -= n;
  }
  // A zero nibble in at nibble k, the document one byte longer.
  void InsertNibble(int64_t k) {
    Shift(k, 1);
    ++Size;
  }
  // Nibble k out, a zero nibble in at the end: the length stays.
  void DeleteNibble(int64_t k) {
    Nibbles.erase(k);
    Shift(k + 1, -1);
  }
  // Where the pattern (no zero byte in it) fits, in ascending order.
  std::vector<int64_t> Find(const std::string& text) const {
    const Bytes pattern(text.begin(), text.end());
    const auto n = static_cast<int64_t>(pattern.size());
    std::set<int64_t> hits;
    for (const auto& [k, v] : Nibbles)
      for (int64_t p = std::max<int64_t>(k / 2 - n + 1, 0); p <= k / 2 && p + n <= Size; ++p)
        if (Window(p, n) == pattern) hits.insert(p);
    return {hits.begin(), hits.end()};
  }
  // A sparse file holding what the model holds.
  void WriteFile(const std::string& path) const {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    for (const auto& [k, v] : Nibbles) {
      const uint8_t b = Byte(k / 2);
      ASSERT_EQ(::pwrite(fd, &b, 1, k / 2), 1);
    }
    ASSERT_EQ(::ftruncate(fd, Size), 0);
    ::close(fd);
  }

 private:
  uint8_t Nibble(int64_t k) const {
    const auto it = Nibbles.find(k);
    return it == Nibbles.end() ? 0 : it->second;
  }
  void SetNibble(int64_t k, uint8_t v) {
    if (v == 0) Nibbles.erase(k);
    if (v != 0) Nibbles[k] = v;
  }
  // Every nibble from k on moves by d (d < 0: those in [k + d, k) must be gone).
  void Shift(int64_t k, int64_t d) {
    std::map<int64_t, uint8_t> moved;
    for (auto it = Nibbles.lower_bound(k); it != Nibbles.end();) {
      moved[it->first + d] = it->second;
      it = Nibbles.erase(it);
    }
    Nibbles.merge(moved);
  }
};

class HugeFiles : public EditorTest {
 protected:
  // The document where the model has bytes, at the boundaries and the ends.
  void ExpectModel(const TSparseModel& m) {
    ASSERT_EQ(Ed->DataSize(), m.Size);
    std::set<int64_t> starts{0, m.Size - 64, k2G - 32, k4G - 32};
    for (const auto& [k, v] : m.Nibbles) starts.insert(k / 2 - 8);
    for (int64_t s : starts) {
      const int64_t p = std::clamp<int64_t>(s, 0, std::max<int64_t>(m.Size - 64, 0));
      Bytes got(64);
      Ed->ReadBuffer(got.data(), p, 64);
      ASSERT_EQ(got, m.Window(p, 64)) << "at " << p;
    }
  }
};

// Sizes, and whether the whole document is read and saved (a tebibyte is
// only looked at where it has bytes).
struct HugeRow {
  const char* name;
  int64_t size;
  bool whole;
};

TEST_F(HugeFiles, EditFindReplaceChecksumDumpSaveAndCompareAcrossTwoAndFourGiB) {
  const std::string far = "ByteloomFar!";
  const Bytes farBytes(far.begin(), far.end());
  for (const HugeRow& row : {HugeRow{"3 GiB", 3 * (int64_t{1} << 30), true}, HugeRow{"2^32 + 17", k4G + 17, true},
                             HugeRow{"1 TiB", int64_t{1} << 40, false}}) {
    SCOPED_TRACE(row.name);
    const int64_t size = row.size;
    const bool past4G = size > k4G + 8;
    TSparseModel m;
    m.Size = size;
    m.Write(0, {'H', 'E', 'A', 'D'});
    m.Write(k2G - 5, farBytes);  // across 2^31
    if (past4G) m.Write(k4G - 5, farBytes);  // across 2^32
    m.Write(size - 4, {'T', 'A', 'I', 'L'});
    const std::string path = Path(std::to_string(size) + ".bin"), saved = Path("saved.bin"),
                      expected = Path("expected.bin");
    m.WriteFile(path);
    ASSERT_TRUE(Ed->LoadFromFile(path)) << Ed->LastError();
    ExpectModel(m);

    // Goto and the caret past 2^31 and 2^32.
    TSearchResult go = GotoCommand(*Ed, "0x100000000");
    EXPECT_EQ(go.Outcome, past4G ? TSearchOutcome::soFound : TSearchOutcome::soInvalidPosition);
    if (past4G) EXPECT_EQ(Ed->GetCursorPos(), k4G);
    GotoCommand(*Ed, "$80000001");
    EXPECT_EQ(Ed->GetCursorPos(), k2G + 1);

    // Typed bytes, an insert, nibble shifts and a deletion, with undo and redo.
    const int64_t typed = (past4G ? k4G : size - 100) + 9;
    Ed->ChangeByte(Ed->ReadByte(typed), 0xA7, typed / 16, 2, typed);
    m.Write(typed, {0xA7});
    const Bytes ins{'I', 'N', 'S'};
    Ed->InsertBuffer(ins.data(), 3, k2G + 7);
    m.Insert(k2G + 7, ins);
    ExpectModel(m);
    const TSparseModel beforeShifts = m;
    ASSERT_TRUE(Ed->InsertNibble(k2G + 1, true));
    m.InsertNibble(2 * (k2G + 1));
    ASSERT_TRUE(Ed->DeleteNibble(size - 2, false));
    m.DeleteNibble(2 * (size - 2) + 1);
    ExpectModel(m);
    const TSparseModel shifted = m;
    Ed->Undo();
    Ed->Undo();
    ExpectModel(beforeShifts);
    Ed->Redo();
    Ed->Redo();
    ExpectModel(shifted);
    Ed->Undo();
    Ed->Undo();
    m = beforeShifts;
    Ed->SetSelStart(k2G + 7);  // the inserted bytes and the zero after them
    Ed->SetSelEnd(k2G + 10);
    Ed->DeleteSelection();
    m.Erase(k2G + 7, 4);
    ExpectModel(m);

    // Find, Find All and Replace all across the boundaries.
    const std::vector<int64_t> farHits = m.Find(far);
    ASSERT_EQ(farHits.size(), past4G ? 2u : 1u);
    Bytes pattern = farBytes;
    EXPECT_EQ(Ed->Find(pattern.data(), 12, false, false, size - 1, k2G - 100), farHits[0]);
    if (past4G) EXPECT_EQ(Ed->Find(pattern.data(), 12, false, false, k4G + 64, farHits[0] + 1), farHits[1]);
    std::vector<int64_t> hits;
    ASSERT_TRUE(FindAll(*Ed, TextPattern(far, true), 0, size - 1, hits));  // the holes are passed over unread
    EXPECT_EQ(hits, farHits);
    hits.clear();  // a pattern that starts in the zeros before the text
    ASSERT_TRUE(FindAll(*Ed, *HexPattern("0000 4279").Pattern, 0, size - 1, hits));
    ASSERT_EQ(hits.size(), farHits.size());
    for (size_t k = 0; k < hits.size(); ++k) EXPECT_EQ(hits[k], farHits[k] - 2);
    if (row.whole) {  // Replace all and what follows read every byte: not of a tebibyte
      TSearchState state;
      ASSERT_TRUE(BeginSearchCommand(state, *Ed));
      Ed->Seek(0, 0, true);
      const TSearchResult replaced = ReplaceCommand(state, *Ed, "t" + far, "<far>", true);
      EXPECT_EQ(replaced.Count, static_cast<int64_t>(farHits.size()));
      for (auto it = farHits.rbegin(); it != farHits.rend(); ++it) {
        m.Erase(*it, 12);
        m.Insert(*it, {'<', 'f', 'a', 'r', '>'});
      }
      ExpectModel(m);
    }

    // A checksum and dump lines of a range past 2^32 (or near the end).
    const int64_t from = (past4G ? k4G : size - 64) - 16, count = std::min<int64_t>(48, m.Size - from);
    // A named value and a checksum of the 8 bytes before it there, set and fixed.
    const TField gold{"gold", from + 4};
    EXPECT_EQ(SetFieldValue(*Ed, gold, "305419896"), "");
    m.Write(from + 4, {0x78, 0x56, 0x34, 0x12});
    TField crc{"crc", from + 8, TFieldKind::fkChecksum};
    crc.From = from;
    crc.To = from + 7;
    EXPECT_EQ(FixChecksum(*Ed, crc), "");
    const Bytes summed = m.Window(from, 8);
    TBufferSource summedSource(summed);
    m.Write(from + 8, StoredBytes(crc, ComputeChecksum(summedSource, 0, 8, TChecksumKind::ckCrc32)));
    ExpectModel(m);
    TEditorSource source(*Ed);
    EXPECT_EQ(FieldValueText(source, gold, TTranslationType::ttAnsi), "305419896");
    EXPECT_TRUE(CheckChecksum(source, crc).Matches());
    const Bytes bytes = m.Window(from, count);
    TBufferSource window(bytes);
    EXPECT_EQ(ComputeChecksum(source, from, count, TChecksumKind::ckCrc32),
              ComputeChecksum(window, 0, count, TChecksumKind::ckCrc32));
    ASSERT_TRUE(ExportDump(*Ed, DumpRange(from, from + count - 1), ExportStyle(true, true, false), Path("dump.txt")));
    std::string lines;
    for (int64_t l0 = from; l0 < from + count; l0 += 16) {
      const Bytes line = m.Window(l0, 16);
      AppendDumpLine(lines, ExportStyle(true, true, false), l0, line.data(), 0,
                     static_cast<int>(std::min<int64_t>(16, m.Size - l0)));
    }
    std::ifstream dump(Path("dump.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(dump), {}), lines);
    if (past4G) EXPECT_NE(lines.find("0x100000000"), std::string::npos) << lines;

    if (!row.whole) continue;
    // A save the user stops leaves the file as it was, and nothing beside it.
    WriteFile(saved, {'o', 'l', 'd'});
    const size_t files = List(Path("")).size();
    EXPECT_FALSE(Ed->SaveToFile(saved, [](int64_t, int64_t) { return false; }));
    EXPECT_NE(Ed->LastError().find("stopped"), std::string::npos) << Ed->LastError();
    EXPECT_EQ(ReadFile(saved), Bytes({'o', 'l', 'd'}));
    EXPECT_EQ(List(Path("")).size(), files);
    EXPECT_TRUE(Ed->Modified());
    // Saved, the file is what the model holds, every byte of it, and its
    // holes stay holes.
    ASSERT_TRUE(Ed->SaveToFile(saved)) << Ed->LastError();
    m.WriteFile(expected);
    // Python compares them: the sizes, then every stretch either file holds
    // data in (elsewhere both have holes, which read as zeros).
    const std::string compare = R"(python3 -c '
import os, sys
a, b = (os.open(n, os.O_RDONLY) for n in sys.argv[1:])
size = os.fstat(a).st_size
if size != os.fstat(b).st_size: sys.exit(1)
def stretches(f, pos=0):
    while pos < size:
        try: data = os.lseek(f, pos, os.SEEK_DATA)
        except OSError: return
        pos = os.lseek(f, data, os.SEEK_HOLE)
        yield data, pos
for start, end in [*stretches(a), *stretches(b)]:
    for p in range(start, end, 1 << 26):
        n = min(1 << 26, end - p)
        if os.pread(a, n, p) != os.pread(b, n, p): sys.exit(1)
' )";
    EXPECT_EQ(std::system((compare + saved + " " + expected).c_str()), 0);
    struct stat st{};
    ASSERT_EQ(::stat(saved.c_str(), &st), 0);
    EXPECT_LT(st.st_blocks * 512, 64 << 20);

    // Compare and side by side find a difference past 2^31 / 2^32.
    const int64_t differs = past4G ? k4G - 7 : k2G + 9;
    TSparseModel other = m;
    other.Write(differs, {0x5A});
    other.WriteFile(expected);
    THexEditor second(Host);
    second.Loaded();
    ASSERT_TRUE(second.LoadFromFile(expected)) << second.LastError();
    TEditorSource left(*Ed), right(second);
    TMeterBuckets buckets{};
    const TScanOutcome scan = ScanDifferences(left, right, TScanRequest{}, buckets);
    EXPECT_TRUE(scan.Found);
    EXPECT_EQ(scan.Pair, differs);
    TDiffEngine pair(left, right, 0);
    const auto stop = [](int64_t, int64_t) { return false; };
    EXPECT_EQ(pair.NextRun(0, stop), std::nullopt);  // F7 stopped by the user
    EXPECT_TRUE(pair.Stopped());
    if (size - differs > 2 * TDiffEngine::PieceSize) {  // else found in the first piece, before any report
      EXPECT_EQ(pair.PreviousRun(size, stop), std::nullopt);
      EXPECT_TRUE(pair.Stopped());
    }
    EXPECT_EQ(pair.NextRun(0), differs);
    EXPECT_FALSE(pair.Stopped());
    EXPECT_EQ(pair.PreviousRun(size), differs);
  }
}

}  // namespace
}  // namespace byteloom::test
