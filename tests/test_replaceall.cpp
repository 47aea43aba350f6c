// SPDX-License-Identifier: GPL-3.0-or-later
// Replace all in one pass against the plain algorithm it stands for:
// replace at the match, search again behind the replacement, until nothing
// is found. Random documents, patterns, replacements and starting states
// (earlier undo steps, change marks, caret field, selection); after the
// command and after every single undo both controls must agree on every
// byte, the undo records themselves, caret, selection, marks and Modified.
//
// BYTELOOM_MODEL_STEPS (default 400 cases here) and BYTELOOM_MODEL_SEED
// make longer or different runs.
#include <gtest/gtest.h>

#include <fstream>

#include <cstdlib>
#include <random>
#include <sstream>

#include "control/hexeditor.h"
#include "control/undostream.h"
#include "tests/support/docbytes.h"
#include "tests/support/fakehost.h"
#include "tests/support/sandbox.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

struct Snapshot {
  Bytes bytes, undo;
  std::vector<int64_t> marks;
  int64_t col, row, selMin, selMax, anchor, markSize, undoCount;
  bool modified, canUndo;
  std::string description;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(THexEditor& e) {
  Snapshot s{{}, {}, {}, e.Col(), e.Row(), e.SelMin(), e.SelMax(), e.SelAnchor(), e.ChangedBits().Size(),
             e.UndoCount(), e.Modified(), e.CanUndo(), e.UndoDescription()};
  s.bytes = DocumentBytes(e);
  for (int64_t i = 0; i < s.markSize; ++i)
    if (e.ByteChanged(i)) s.marks.push_back(i);
  return s;
}

std::string Describe(const Snapshot& s) {
  std::ostringstream o;
  o << s.bytes.size() << " bytes, caret " << s.col << "/" << s.row << ", selection " << s.selMin << ".." << s.selMax
    << " at " << s.anchor << ", " << s.marks.size() << " marks of " << s.markSize << ", modified " << s.modified
    << ", " << s.undoCount << " undo steps in " << s.undo.size() << " bytes";
  return o.str();
}

// The plain algorithm, from the first match on (at most limit matches).
int32_t ReplaceByPasses(THexEditor& e, Bytes pattern, bool ignoreCase, int32_t first, const Bytes& by,
                        int32_t limit = INT32_MAX) {
  const auto len = static_cast<int32_t>(pattern.size()), n = static_cast<int32_t>(by.size());
  int32_t count = 0;
  for (int32_t m = first; m >= 0 && count < limit; ++count) {
    e.ReplaceMatch(m, len, by.data(), n);
    m = e.Find(pattern.data(), len, false, ignoreCase, e.DataSize() - 1, m + n);
  }
  return count;
}

class ReplaceAllModel : public TempDirTest {
 protected:
  TFakeHost HostA, HostB;
  std::unique_ptr<THexEditor> A, B;

  void Open(const Bytes& data) {
    A.reset();
    B.reset();
    WriteFile(Path("doc.bin"), data);
    A = std::make_unique<THexEditor>(HostA);
    B = std::make_unique<THexEditor>(HostB);
    for (THexEditor* e : {A.get(), B.get()}) {
      e->SetClientSize(1000, 800);
      e->Loaded();
      ASSERT_TRUE(e->LoadFromFile(Path("doc.bin")));
    }
  }
  // Both ways from the same state; then every undo step, one by one.
  // Returns the number of replacements.
  int32_t Compare(const Bytes& pattern, bool ignoreCase, const Bytes& by, const THexEditor::TProgress& progress = {}) {
    Bytes p = pattern;
    const auto len = static_cast<int32_t>(p.size());
    const int32_t first = A->Find(p.data(), len, false, ignoreCase, A->DataSize() - 1, A->GetCursorPos());
    if (first < 0) return 0;
    const int32_t viaPasses = ReplaceByPasses(*B, p, ignoreCase, first, by);
    EXPECT_EQ(A->ReplaceAll(p.data(), len, ignoreCase, first, by.data(), static_cast<int32_t>(by.size()), progress),
              viaPasses);
    AgreeThroughUndo();
    return viaPasses;
  }
  // Both controls agree now and after every single undo.
  void AgreeThroughUndo() {
    for (int step = 0;; ++step) {
      const Snapshot a = Take(*A), b = Take(*B);
      EXPECT_EQ(a, b) << "after " << step << " undo steps:\n one pass: " << Describe(a)
                      << "\n by passes: " << Describe(b);
      if (a != b || !a.canUndo) break;
      A->Undo();
      B->Undo();
    }
  }
};

int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v ? std::atoi(v) : fallback;
}

TEST_F(ReplaceAllModel, OnePassEqualsReplacingMatchByMatch) {
  const int cases = EnvInt("BYTELOOM_MODEL_STEPS", 400);
  std::mt19937 rng(static_cast<uint32_t>(EnvInt("BYTELOOM_MODEL_SEED", 1)));
  auto below = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  const uint8_t alphabet[] = {'A', 'a', 'B', 0x00};
  auto randomBytes = [&](int n, int letters) {
    Bytes b(static_cast<size_t>(n));
    for (auto& x : b) x = alphabet[below(letters)];
    return b;
  };
  int several = 0, beyondUndo = 0;
  for (int c = 0; c < cases; ++c) {
    SCOPED_TRACE("case " + std::to_string(c));
    // Now and then a long run of one letter, for more replacements than
    // the undo list keeps.
    const bool many = below(8) == 0;
    Open(many ? randomBytes(150 + below(200), 1) : randomBytes(1 + below(60), 2 + below(3)));
    const int32_t size = A->DataSize();
    for (THexEditor* e : {A.get(), B.get()}) {
      std::mt19937 same(static_cast<uint32_t>(c));
      // Earlier edits: undo steps, change marks and Modified to carry over.
      for (int i = static_cast<int>(same() % 4); i > 0; --i) {
        const auto pos = static_cast<int32_t>(same() % static_cast<uint32_t>(e->DataSize()));
        int col = 0;
        int64_t row = 0;
        e->GetCellAtPos(pos, false, col, row);
        e->ChangeByte(e->ReadByte(pos), static_cast<uint8_t>(same()), row, col, pos);
      }
      if (same() % 3 == 0) e->SetModified(false);
      e->SetSelStart(static_cast<int32_t>(same() % static_cast<uint32_t>(size)));
      if (same() % 2) {
        bool inChar = false;
        e->SetCol(e->GetOtherFieldCol(e->Col(), inChar));
      }
      if (same() % 3 == 0) e->SetSelEnd(static_cast<int32_t>(same() % static_cast<uint32_t>(size)));
    }
    const int32_t n = Compare(randomBytes(1 + below(many ? 1 : 3), 3), below(2) == 0, randomBytes(below(5), 3));
    if (HasFailure()) return;
    several += n > 1;
    beyondUndo += n > THexEditor::kMaxUndo;
  }
  // The cases must reach the one-pass rewrite and the undo limit.
  EXPECT_GT(several, cases / 4);
  EXPECT_GT(beyondUndo, cases / 50);
}

TEST_F(ReplaceAllModel, MatchesAcrossThePiecesOfTheScan) {
  // Pieces of the scan are 1 MiB: three-byte matches that straddle their
  // borders, in documents that grow, shrink and keep their length.
  constexpr int32_t MiB = 1 << 20;
  Bytes data = Pattern(2 * MiB + 5000, 3);
  for (auto& b : data) b &= 0x7F;  // no 0xEE anywhere but in the matches
  for (int32_t at : {0, 77, MiB - 2, MiB - 1, MiB + 1, 2 * MiB - 3, 2 * MiB + 4997})
    for (int32_t i = 0; i < 3; ++i) data[static_cast<size_t>(at + i)] = 0xEE;
  for (const Bytes& by : {Bytes{}, Bytes{1, 2, 3}, Bytes{0xEE, 0xEE, 0xEE, 0xEE}, Bytes{9}}) {
    SCOPED_TRACE(by.size());
    Open(data);
    int64_t done = 0, total = 0;
    Compare({0xEE, 0xEE, 0xEE}, false, by, [&](int64_t d, int64_t t) {
      EXPECT_GE(d, done);  // progress only goes forward, to the total
      EXPECT_LE(d, t);
      done = d;
      total = t;
      return true;
    });
    EXPECT_EQ(done, total);
    EXPECT_EQ(total, 2 * static_cast<int64_t>(data.size()));  // two scans from the first match at 0
  }
}

// Stopped after the first piece of the rewrite: the matches replaced by then
// stay, exactly as replacing them one by one would have left them (but for
// the caret), in documents that grow and that keep their length.
TEST_F(ReplaceAllModel, AStoppedReplaceAllKeepsTheMatchesReplacedSoFar) {
  constexpr int32_t MiB = 1 << 20;
  Bytes data = Pattern(2 * MiB + 4096, 7);
  for (auto& b : data) b &= 0x7F;
  for (size_t i = 100; i < data.size(); i += 50021) data[i] = 0xEE;  // 43 matches
  uint8_t p = 0xEE;
  for (const Bytes& by : {Bytes{0xDD}, Bytes{1, 2}}) {
    Open(data);
    const int32_t first = A->Find(&p, 1, false, false, A->DataSize() - 1, 0);
    const int32_t n = A->ReplaceAll(&p, 1, false, first, by.data(), static_cast<int32_t>(by.size()),
                                    [](int64_t d, int64_t t) { return d <= t / 2 + MiB / 2; });
    EXPECT_EQ(n, ReplaceByPasses(*B, {p}, false, first, by, n));
    EXPECT_GT(n, 10);
    EXPECT_LT(n, 30);
    const Snapshot a = Take(*A), b = Take(*B);
    EXPECT_TRUE(a.bytes == b.bytes && a.undo == b.undo && a.marks == b.marks && a.modified == b.modified);
    A->Undo();
    B->Undo();
    AgreeThroughUndo();
  }
  // Stopped while counting: nothing changes.
  Open(data);
  EXPECT_EQ(A->ReplaceAll(&p, 1, false, 100, &p, 1, [](int64_t, int64_t) { return false; }), 0);
  EXPECT_FALSE(A->Modified() || A->CanUndo());
}

// Replace all needs room only for the replacement bytes, whatever the
// length: where even those do not fit, nothing changes.
TEST_F(ReplaceAllModel, ReplaceAllNeedsRoomOnlyForTheReplacements) {
  constexpr int32_t MiB = 1 << 20;
  Bytes data = Pattern(6 * MiB, 5);
  for (auto& b : data)
    if (b == 'A' || b == 'B') b = 'C';
  for (size_t i = 0; i < data.size(); i += 4096) data[i] = 'A';
  WriteFile(Path("big.bin"), data);
  const std::string folder = WorkDir();
  const int rc = RunWithSmallDisk(folder, 9 * 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (!ed.LoadFromFile(Path("big.bin"))) return 1;
    uint8_t a = 'A', b = 'B';
    const uint8_t two[] = {'B', 'B'};
    const int32_t first = ed.Find(&a, 1, false, false, ed.DataSize() - 1, 0);
    // A document that grows by 1536 bytes, on a disk without room for a copy of it.
    if (ed.ReplaceAll(&a, 1, false, first, two, 2) != 6 * MiB / 4096) return 2;
    if (ed.DataSize() != 6 * MiB + 6 * MiB / 4096 || ed.UndoCount() != 100) return 3;
    {
      std::ofstream fill(folder + "/filler", std::ios::binary);
      const std::string chunk(4096, 'x');
      while (fill.write(chunk.data(), chunk.size())) fill.flush();
    }
    const Bytes before = DocumentBytes(ed);
    const uint8_t many[64] = {};
    try {
      ed.ReplaceAll(&b, 1, false, 0, many, 64);
      return 4;
    } catch (const EFileError& e) {
      if (std::string(e.what()).find("Not enough space") == std::string::npos) return 5;
    }
    if (DocumentBytes(ed) != before || ed.UndoCount() != 100) return 6;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace byteloom::test
