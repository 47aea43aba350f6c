// Randomized differential test of editing and undo: seeded random sequences of
// edits, selections and undos run on the control and on a plain in-memory
// model of the same rules, compared after every step (bytes, length,
// Modified, the undo list, selection, caret cell and change marks).
//
// BYTELOOM_MODEL_STEPS (default 5000) and BYTELOOM_MODEL_SEED (default 1)
// make longer or different runs: BYTELOOM_MODEL_STEPS=200000 ctest -R Model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "control/hexeditor.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

constexpr int kMaxSteps = 100;

struct Caret {
  int32_t pos = 0;
  bool inChar = false;
  int nibble = 0;  // 1 on the second hex cell of the byte
};

struct Sel {
  int32_t min = -1, max = -1, anchor = -1;
  bool Active() const { return anchor != -1; }
};

// The document, caret, selection, change marks and undo list as the rules
// describe them, on plain vectors.
class Model {
 public:
  Bytes bytes;
  bool modified = false;
  Caret caret;
  Sel sel;
  int32_t markSize = 0;
  std::set<int32_t> marks;

  struct Step {
    TUndoKind kind;
    int32_t pos;
    bool mark;
    Bytes before;
    Caret caret;
    Sel sel;
    bool modified;
  };
  std::deque<Step> steps;

  int32_t Size() const { return static_cast<int32_t>(bytes.size()); }

  void Reset(const Bytes& data) {
    bytes = data;
    modified = false;
    caret = Caret{};
    sel = Sel{};
    markSize = 0;
    marks.clear();
    steps.clear();
  }

  std::string Description() const { return steps.empty() ? "No Undo" : THexEditor::UndoKindText(steps.back().kind); }

  void Record(TUndoKind kind, int32_t pos) {
    steps.push_back(Step{kind, pos, Mark(pos), bytes, caret, sel, modified});
    if (static_cast<int>(steps.size()) > kMaxSteps) steps.pop_front();
    modified = true;
  }

  bool Mark(int32_t p) const { return p >= 0 && p < markSize && marks.count(p) > 0; }
  void SetMark(int32_t p, bool on) {
    if (p < 0) return;
    if (p >= markSize) {
      if (!on) return;
      markSize = p + 1;
    }
    if (on)
      marks.insert(p);
    else
      marks.erase(p);
  }
  void CutMarks(int32_t size) {
    size = std::max(size, 0);
    markSize = size;
    marks.erase(marks.lower_bound(size), marks.end());
  }
  void TrimMarks(int32_t p) {
    if (markSize >= p) CutMarks(p);
  }
  void AfterLengthChange() {
    if (markSize > Size()) CutMarks(Size());
  }

  // --- Selection and caret ---
  void SetSelStart(int32_t p) {
    sel = Sel{};
    caret = Caret{p, caret.inChar, 0};
  }
  void SetSelEnd(int32_t p) { sel = Sel{std::min(caret.pos, p), std::max(caret.pos, p), caret.pos}; }

  // --- Edits ---
  void ChangeByte(int32_t p, uint8_t v) {
    if (bytes[static_cast<size_t>(p)] == v) return;
    Record(TUndoKind::ukByteChanged, p);
    bytes[static_cast<size_t>(p)] = v;
    SetMark(p, true);
  }

  void InsertBuffer(const Bytes& data, int32_t p) {
    if (data.empty()) return;
    const bool wasEmpty = bytes.empty();
    Record(TUndoKind::ukInsertBuffer, p);
    if (wasEmpty) CutMarks(0);
    bytes.insert(bytes.begin() + p, data.begin(), data.end());
    TrimMarks(p);
    if (p == caret.pos) sel = Sel{p, p + static_cast<int32_t>(data.size()) - 1, p};
  }

  void AppendBuffer(const Bytes& data) {
    if (data.empty()) return;
    const int32_t s = Size();
    Record(TUndoKind::ukAppendBuffer, s);
    if (s == 0) CutMarks(0);
    bytes.insert(bytes.end(), data.begin(), data.end());
    caret = Caret{s, s == 0 ? false : caret.inChar, 0};
    sel = Sel{s, s + static_cast<int32_t>(data.size()) - 1, s};
  }

  void DeleteSelection() {
    if (bytes.empty()) return;
    const int32_t first = sel.Active() ? sel.min : caret.pos;
    const int32_t stop = sel.Active() ? sel.max + 1 : caret.pos + 1;
    Record(TUndoKind::ukRemoved, first);
    TrimMarks(first);
    bytes.erase(bytes.begin() + first, bytes.begin() + stop);
    Caret target = sel.Active() ? Caret{first, caret.inChar, 0} : caret;
    if (bytes.empty())
      target = Caret{};
    else if (target.pos >= Size())
      target = Caret{Size() - 1, caret.inChar, 0};
    caret = target;
    sel = Sel{};
    AfterLengthChange();
  }

  void ReplaceSelection(const Bytes& data) {
    if (!sel.Active()) {
      InsertBuffer(data, caret.pos);
      return;
    }
    const int32_t first = sel.min, oldCount = sel.max - sel.min + 1;
    const int32_t count = static_cast<int32_t>(data.size());
    Record(TUndoKind::ukReplaceSelection, first);
    const int32_t remaining = Size() - oldCount;
    bytes.erase(bytes.begin() + first, bytes.begin() + first + oldCount);
    bytes.insert(bytes.begin() + first, data.begin(), data.end());
    TrimMarks(first);
    Caret cell{first, caret.inChar, 0};
    if (remaining <= 0)
      cell = Caret{};
    else if (first >= remaining)
      cell = Caret{remaining - 1, caret.inChar, 0};
    if (caret.pos == first && first < Size()) {
      sel = count > 0 ? Sel{first, first + count - 1, first} : Sel{};
    } else {
      caret = cell;
      sel = Sel{};
    }
    AfterLengthChange();
  }

  // Nibbles of bytes from p on, shifted: a zero nibble in, or one out.
  void ShiftNibbles(int32_t p, bool high, bool insert) {
    std::vector<uint8_t> nib;
    for (size_t i = static_cast<size_t>(p); i < bytes.size(); ++i) {
      nib.push_back(bytes[i] >> 4);
      nib.push_back(bytes[i] & 0x0F);
    }
    const size_t at = high ? 0 : 1;
    if (insert) {
      nib.insert(nib.begin() + static_cast<long>(at), 0);
      nib.push_back(0);
    } else {
      nib.erase(nib.begin() + static_cast<long>(at));
      nib.push_back(0);
    }
    bytes.resize(static_cast<size_t>(p) + nib.size() / 2);
    for (size_t i = 0; i < nib.size() / 2; ++i)
      bytes[static_cast<size_t>(p) + i] = static_cast<uint8_t>(nib[2 * i] << 4 | nib[2 * i + 1]);
  }

  bool InsertNibble(int32_t p, bool high) {
    if (bytes.empty()) {
      sel = Sel{};
      AppendBuffer(Bytes{0});
      return true;
    }
    if (p < 0 || p >= Size()) return false;
    Record(TUndoKind::ukInsertNibble, p);
    sel = Sel{};
    ShiftNibbles(p, high, true);
    TrimMarks(p);
    return true;
  }

  bool DeleteNibble(int32_t p, bool high) {
    if (p < 0 || p >= Size()) return false;
    Record(TUndoKind::ukDeleteNibble, p);
    sel = Sel{};
    ShiftNibbles(p, high, false);
    TrimMarks(p);
    return true;
  }

  void Undo() {
    if (steps.empty()) return;
    Step s = std::move(steps.back());
    steps.pop_back();
    bytes = std::move(s.before);
    caret = s.caret;
    sel = s.sel;
    modified = s.modified;
    AfterLengthChange();
    switch (s.kind) {
      case TUndoKind::ukByteChanged:
        SetMark(s.pos, s.mark);
        break;
      case TUndoKind::ukReplaceSelection:
        if (markSize >= s.pos) CutMarks(std::max(0, s.pos - 1));
        break;
      case TUndoKind::ukInsertNibble:
      case TUndoKind::ukDeleteNibble:
        SetMark(s.pos, s.mark);  // set back, then cut at the position with the rest
        TrimMarks(s.pos);
        break;
      default:
        TrimMarks(s.pos);
        break;
    }
  }
};

int64_t EnvNumber(const char* name, int64_t fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  return std::strtoll(v, nullptr, 10);
}

class EditModel : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(800, 600);
  }
};

TEST_F(EditModel, RandomEditsAndUndosMatchThePlainModel) {
  const int64_t totalSteps = EnvNumber("BYTELOOM_MODEL_STEPS", 5000);
  const uint64_t seed = static_cast<uint64_t>(EnvNumber("BYTELOOM_MODEL_SEED", 1));
  std::mt19937_64 rng(seed);
  auto below = [&](int64_t n) { return n <= 0 ? 0 : static_cast<int64_t>(rng() % static_cast<uint64_t>(n)); };
  auto randomBytes = [&](int32_t n) {
    Bytes b(static_cast<size_t>(n));
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
  };
  // Mostly short blocks, now and then long ones.
  auto blockLength = [&]() -> int32_t {
    const int64_t r = below(100);
    if (r < 70) return static_cast<int32_t>(1 + below(16));
    if (r < 95) return static_cast<int32_t>(1 + below(4096));
    return static_cast<int32_t>(1 + below(96 * 1024));
  };

  Model m;
  std::deque<std::string> trail;  // the last steps, for the failure report
  const int B = Ed->BytesPerLine();

  // Half the documents have their nibble shifts done in place.
  const int64_t defaultLimit = THexEditor::NibbleScratchLimit;
  struct RestoreLimit {
    int64_t value;
    ~RestoreLimit() { THexEditor::NibbleScratchLimit = value; }
  } restoreLimit{defaultLimit};
  auto startDocument = [&]() {
    THexEditor::NibbleScratchLimit = below(2) == 0 ? 0 : defaultLimit;
    const int64_t r = below(4);
    if (r == 0) {
      Ed->CreateEmptyFile("Untitled");
      m.Reset({});
      trail.push_back("new empty document");
    } else {
      const int32_t size = static_cast<int32_t>(r == 1 ? below(64) : below(300 * 1024));
      const Bytes data = randomBytes(size);
      Load(data);
      Ed->ResetSelection(false);  // loading leaves the selection to the caret move
      m.Reset(data);
      trail.push_back("load " + std::to_string(size) + " bytes");
    }
  };

  auto check = [&](int64_t step) {
    std::ostringstream where;
    where << "seed " << seed << ", step " << step << "; last steps:";
    for (const auto& t : trail) where << "\n  " << t;
    SCOPED_TRACE(where.str());
    ASSERT_EQ(Ed->DataSize(), m.Size());
    ASSERT_TRUE(Document() == m.bytes) << "the bytes differ";
    ASSERT_EQ(Ed->Modified(), m.modified);
    ASSERT_EQ(Ed->CanUndo(), !m.steps.empty());
    ASSERT_EQ(Ed->UndoCount(), static_cast<int>(m.steps.size()));
    ASSERT_EQ(Ed->UndoDescription(), m.Description());
    ASSERT_EQ(Ed->SelAnchor(), m.sel.anchor);
    ASSERT_EQ(Ed->SelMin(), m.sel.min);
    ASSERT_EQ(Ed->SelMax(), m.sel.max);
    int col = 2, row = 0;
    if (m.Size() > 0) {
      Ed->GetCellAtPos(m.caret.pos, m.caret.inChar, col, row);
      if (!m.caret.inChar) col += m.caret.nibble;
    }
    ASSERT_EQ(Ed->Col(), col) << "caret on " << m.caret.pos << (m.caret.inChar ? " (characters)" : " (hex)");
    ASSERT_EQ(Ed->Row(), row);
    ASSERT_EQ(Ed->ChangedBits().Size(), m.markSize);
    for (int32_t p : m.marks) ASSERT_TRUE(Ed->ByteChanged(p)) << "mark " << p;
    for (int i = 0; i < 32 && m.markSize > 0; ++i) {
      const auto p = static_cast<int32_t>(below(m.markSize));
      ASSERT_EQ(Ed->ByteChanged(p), m.Mark(p)) << "mark " << p;
    }
  };

  startDocument();
  int32_t maxSize = 0;
  int maxSteps = 0;
  int undoBurst = 0;
  int typingBurst = 0;
  for (int64_t step = 0; step < totalSteps; ++step) {
    if (step > 0 && below(400) == 0) startDocument();
    const int32_t size = m.Size();
    std::string what;
    // Runs of typing go past the 100-step limit; runs of undos empty the list.
    int64_t op = below(100);
    if (typingBurst > 0) {
      --typingBurst;
      op = 0;
    } else if (undoBurst > 0) {
      --undoBurst;
      op = 95;
    } else if (below(150) == 0) {
      typingBurst = static_cast<int>(80 + below(60));
    } else if (below(150) == 0) {
      undoBurst = static_cast<int>(20 + below(100));
    }
    // Keep the document within a few hundred KiB.
    if (size > 400 * 1024 && op >= 20 && op < 40) op = 45;

    if (op < 20) {  // change a byte
      if (size == 0) {
        Ed->ChangeByte(0, 1, 0, 2, 0);  // refused on an empty document
        what = "change byte on an empty document";
      } else {
        const auto p = static_cast<int32_t>(below(size));
        const auto v = static_cast<uint8_t>(below(4) == 0 ? m.bytes[static_cast<size_t>(p)] : rng());
        Ed->ChangeByte(Ed->ReadByte(p), v, p / B, 2, p);
        m.ChangeByte(p, v);
        what = "change byte " + std::to_string(p);
      }
    } else if (op < 30) {  // insert a block
      const auto p = static_cast<int32_t>(below(4) == 0 ? m.caret.pos : below(size + 1));
      const Bytes data = randomBytes(below(20) == 0 ? 0 : blockLength());
      Ed->InsertBuffer(data.data(), static_cast<int32_t>(data.size()), p);
      m.InsertBuffer(data, p);
      what = "insert " + std::to_string(data.size()) + " at " + std::to_string(p);
    } else if (op < 35) {  // append a block
      const Bytes data = randomBytes(blockLength());
      Ed->AppendBuffer(data.data(), static_cast<int32_t>(data.size()));
      m.AppendBuffer(data);
      what = "append " + std::to_string(data.size());
    } else if (op < 40) {  // replace the selection
      const Bytes data = randomBytes(below(10) == 0 ? 0 : blockLength());
      Ed->ReplaceSelection(data.data(), static_cast<int32_t>(data.size()));
      m.ReplaceSelection(data);
      what = "replace selection by " + std::to_string(data.size());
    } else if (op < 52) {  // delete the selection or the byte at the caret
      Ed->DeleteSelection();
      m.DeleteSelection();
      what = "delete selection";
    } else if (op < 58) {  // nibble in
      const auto p = static_cast<int32_t>(below(10) == 0 ? below(size + 3) - 1 : below(size));
      const bool high = below(2) == 0;
      const bool got = Ed->InsertNibble(p, high);
      ASSERT_EQ(got, m.InsertNibble(p, high));
      what = "insert nibble at " + std::to_string(p) + (high ? " high" : " low");
    } else if (op < 64) {  // nibble out
      const auto p = static_cast<int32_t>(below(10) == 0 ? below(size + 3) - 1 : below(size));
      const bool high = below(2) == 0;
      const bool got = Ed->DeleteNibble(p, high);
      ASSERT_EQ(got, m.DeleteNibble(p, high));
      what = "delete nibble at " + std::to_string(p) + (high ? " high" : " low");
    } else if (op < 76) {  // caret, perhaps on the second nibble
      if (size > 0) {
        const auto p = static_cast<int32_t>(below(size));
        Ed->SetSelStart(p);
        m.SetSelStart(p);
        what = "caret to " + std::to_string(p);
        if (!m.caret.inChar && below(3) == 0) {
          Ed->SetCol(Ed->Col() + 1);
          m.caret.nibble = 1;
          what += " (second nibble)";
        }
      }
    } else if (op < 86) {  // select from the caret
      if (size > 0) {
        const auto p = static_cast<int32_t>(below(3) == 0 ? std::clamp<int64_t>(m.caret.pos + below(64) - 32, 0, size - 1)
                                                          : below(size));
        Ed->SetSelEnd(p);
        m.SetSelEnd(p);
        what = "select to " + std::to_string(p);
      }
    } else if (op < 90) {  // the other field
      if (size > 0) {
        bool inChar = false;
        Ed->SetCol(Ed->GetOtherFieldCol(Ed->Col(), inChar));
        const int32_t p = Ed->GetCursorPos();
        Ed->SetSelStart(p);
        m.caret = Caret{m.caret.pos, !m.caret.inChar, 0};
        m.SetSelStart(m.caret.pos);
        what = "switch field";
      }
    } else {  // undo
      what = "undo";
      if (!m.steps.empty())
        what += std::string(" of ") + THexEditor::UndoKindText(m.steps.back().kind) + " at " +
                std::to_string(m.steps.back().pos);
      Ed->Undo();
      m.Undo();
    }
    trail.push_back(what);
    if (trail.size() > 40) trail.pop_front();
    check(step);
    if (HasFatalFailure()) return;
    maxSize = std::max(maxSize, m.Size());
    maxSteps = std::max(maxSteps, static_cast<int>(m.steps.size()));
  }
  // The run reached large documents and the limit of the undo list.
  std::printf("model run: seed %llu, %lld steps, largest document %d bytes, longest undo list %d\n",
              static_cast<unsigned long long>(seed), static_cast<long long>(totalSteps), maxSize, maxSteps);
  if (totalSteps >= 2000) {
    EXPECT_GT(maxSize, 100 * 1024);
    EXPECT_EQ(maxSteps, kMaxSteps);
  }
}

}  // namespace
}  // namespace byteloom::test
