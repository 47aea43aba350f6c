// SPDX-License-Identifier: GPL-3.0-or-later
// A plain in-memory model of the editing and undo rules: the document,
// caret, selection, change marks and undo list on plain vectors. The
// randomized test and the fuzz target compare the control against it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "control/hexeditor.h"
#include "tests/support/docbytes.h"

namespace byteloom::test {

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
  using Bytes = std::vector<uint8_t>;
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
  // Undone steps, newest last: the step and what it had left behind.
  struct Undone {
    TUndoKind kind;
    int32_t pos;
    Bytes after;
    Caret caret;
    Sel sel;
  };
  std::vector<Undone> undone;

  int32_t Size() const { return static_cast<int32_t>(bytes.size()); }

  void Reset(const Bytes& data) {
    bytes = data;
    modified = false;
    caret = Caret{};
    sel = Sel{};
    markSize = 0;
    marks.clear();
    steps.clear();
    undone.clear();
  }

  std::string Description() const { return steps.empty() ? "No Undo" : THexEditor::UndoKindText(steps.back().kind); }
  std::string RedoDescription() const {
    return undone.empty() ? "No Redo" : THexEditor::UndoKindText(undone.back().kind);
  }

  void Record(TUndoKind kind, int32_t pos, bool redoing = false) {
    if (!redoing) undone.clear();
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
    undone.push_back(Undone{steps.back().kind, steps.back().pos, bytes, caret, sel});
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

  // The newest undone step made again, as its edit made it; the caret and
  // selection come back to where they were before it was undone.
  void Redo() {
    if (undone.empty()) return;
    Undone u = std::move(undone.back());
    undone.pop_back();
    Record(u.kind, u.pos, true);
    bytes = std::move(u.after);
    caret = u.caret;
    sel = u.sel;
    if (u.kind == TUndoKind::ukByteChanged)
      SetMark(u.pos, true);
    else if (u.kind != TUndoKind::ukAppendBuffer)
      TrimMarks(u.pos);
    AfterLengthChange();
  }
};


// The random choices of a step: from a seeded generator in the randomized
// test, from the input bytes in the fuzz target.
struct TChoices {
  std::function<uint64_t()> Next;
  int64_t Below(int64_t n) { return n <= 0 ? 0 : static_cast<int64_t>(Next() % static_cast<uint64_t>(n)); }
  std::vector<uint8_t> RandomBytes(int32_t n) {
    std::vector<uint8_t> b(static_cast<size_t>(n));
    for (auto& x : b) x = static_cast<uint8_t>(Next());
    return b;
  }
  // Mostly short blocks, now and then long ones.
  int32_t BlockLength() {
    const int64_t r = Below(100);
    if (r < 70) return static_cast<int32_t>(1 + Below(16));
    if (r < 95) return static_cast<int32_t>(1 + Below(4096));
    return static_cast<int32_t>(1 + Below(96 * 1024));
  }
};

// Runs step op (0..99: change, insert, append, replace, delete, nibble in
// and out, caret, select, switch field, undo) on the control and on the
// model; returns what it did, starting with "MISMATCH" when the two
// reported different results.
inline std::string ApplyStep(THexEditor& ed, Model& m, int64_t op, TChoices& c) {
  using Bytes = Model::Bytes;
  const int32_t size = m.Size();
  const int B = ed.BytesPerLine();
  std::string what;
  if (op < 20) {  // change a byte
    if (size == 0) {
      ed.ChangeByte(0, 1, 0, 2, 0);  // refused on an empty document
      what = "change byte on an empty document";
    } else {
      const auto p = static_cast<int32_t>(c.Below(size));
      const auto v = static_cast<uint8_t>(c.Below(4) == 0 ? m.bytes[static_cast<size_t>(p)] : c.Next());
      ed.ChangeByte(ed.ReadByte(p), v, p / B, 2, p);
      m.ChangeByte(p, v);
      what = "change byte " + std::to_string(p);
    }
  } else if (op < 30) {  // insert a block
    const auto p = static_cast<int32_t>(c.Below(4) == 0 ? m.caret.pos : c.Below(size + 1));
    const Bytes data = c.RandomBytes(c.Below(20) == 0 ? 0 : c.BlockLength());
    ed.InsertBuffer(data.data(), static_cast<int32_t>(data.size()), p);
    m.InsertBuffer(data, p);
    what = "insert " + std::to_string(data.size()) + " at " + std::to_string(p);
  } else if (op < 35) {  // append a block
    const Bytes data = c.RandomBytes(c.BlockLength());
    ed.AppendBuffer(data.data(), static_cast<int32_t>(data.size()));
    m.AppendBuffer(data);
    what = "append " + std::to_string(data.size());
  } else if (op < 40) {  // replace the selection
    const Bytes data = c.RandomBytes(c.Below(10) == 0 ? 0 : c.BlockLength());
    ed.ReplaceSelection(data.data(), static_cast<int32_t>(data.size()));
    m.ReplaceSelection(data);
    what = "replace selection by " + std::to_string(data.size());
  } else if (op < 52) {  // delete the selection or the byte at the caret
    ed.DeleteSelection();
    m.DeleteSelection();
    what = "delete selection";
  } else if (op < 58) {  // nibble in
    const auto p = static_cast<int32_t>(c.Below(10) == 0 ? c.Below(size + 3) - 1 : c.Below(size));
    const bool high = c.Below(2) == 0;
    const bool got = ed.InsertNibble(p, high);
    if (got != m.InsertNibble(p, high)) return "MISMATCH result of insert nibble at " + std::to_string(p);
    what = "insert nibble at " + std::to_string(p) + (high ? " high" : " low");
  } else if (op < 64) {  // nibble out
    const auto p = static_cast<int32_t>(c.Below(10) == 0 ? c.Below(size + 3) - 1 : c.Below(size));
    const bool high = c.Below(2) == 0;
    const bool got = ed.DeleteNibble(p, high);
    if (got != m.DeleteNibble(p, high)) return "MISMATCH result of delete nibble at " + std::to_string(p);
    what = "delete nibble at " + std::to_string(p) + (high ? " high" : " low");
  } else if (op < 76) {  // caret, perhaps on the second nibble
    if (size > 0) {
      const auto p = static_cast<int32_t>(c.Below(size));
      ed.SetSelStart(p);
      m.SetSelStart(p);
      what = "caret to " + std::to_string(p);
      if (!m.caret.inChar && c.Below(3) == 0) {
        ed.SetCol(ed.Col() + 1);
        m.caret.nibble = 1;
        what += " (second nibble)";
      }
    }
  } else if (op < 86) {  // select from the caret
    if (size > 0) {
      const auto p = static_cast<int32_t>(
          c.Below(3) == 0 ? std::clamp<int64_t>(m.caret.pos + c.Below(64) - 32, 0, size - 1) : c.Below(size));
      ed.SetSelEnd(p);
      m.SetSelEnd(p);
      what = "select to " + std::to_string(p);
    }
  } else if (op < 90) {  // the other field
    if (size > 0) {
      bool inChar = false;
      ed.SetCol(ed.GetOtherFieldCol(ed.Col(), inChar));
      const int32_t p = ed.GetCursorPos();
      ed.SetSelStart(p);
      m.caret = Caret{m.caret.pos, !m.caret.inChar, 0};
      m.SetSelStart(m.caret.pos);
      what = "switch field";
    }
  } else if (op >= 96) {  // redo
    what = "redo";
    if (!m.undone.empty())
      what += std::string(" of ") + THexEditor::UndoKindText(m.undone.back().kind) + " at " +
              std::to_string(m.undone.back().pos);
    ed.Redo();
    m.Redo();
  } else {  // undo
    what = "undo";
    if (!m.steps.empty())
      what += std::string(" of ") + THexEditor::UndoKindText(m.steps.back().kind) + " at " +
              std::to_string(m.steps.back().pos);
    ed.Undo();
    m.Undo();
  }
  return what;
}

// The first difference between the control and the model (bytes, length,
// Modified, undo list, selection, caret cell, change marks), or "".
inline std::string Mismatch(THexEditor& ed, const Model& m, TChoices& c) {
  const std::vector<uint8_t> doc = DocumentBytes(ed);
  auto differ = [](const std::string& what, auto a, auto b) {
    return a == b ? std::string() : what + ": " + std::to_string(a) + " instead of " + std::to_string(b);
  };
  std::string d;
  if ((d = differ("size", ed.DataSize(), m.Size())) != "") return d;
  if (doc != m.bytes) return "the bytes differ";
  if ((d = differ("Modified", ed.Modified(), m.modified)) != "") return d;
  if ((d = differ("CanUndo", ed.CanUndo(), !m.steps.empty())) != "") return d;
  if ((d = differ("UndoCount", ed.UndoCount(), static_cast<int>(m.steps.size()))) != "") return d;
  if (ed.UndoDescription() != m.Description()) return "UndoDescription " + ed.UndoDescription();
  if ((d = differ("RedoCount", ed.RedoCount(), static_cast<int>(m.undone.size()))) != "") return d;
  if (ed.RedoDescription() != m.RedoDescription()) return "RedoDescription " + ed.RedoDescription();
  if ((d = differ("SelAnchor", ed.SelAnchor(), m.sel.anchor)) != "") return d;
  if ((d = differ("SelMin", ed.SelMin(), m.sel.min)) != "") return d;
  if ((d = differ("SelMax", ed.SelMax(), m.sel.max)) != "") return d;
  int col = 2;
  int64_t row = 0;
  if (m.Size() > 0) {
    ed.GetCellAtPos(m.caret.pos, m.caret.inChar, col, row);
    if (!m.caret.inChar) col += m.caret.nibble;
  }
  const std::string on = " (caret on " + std::to_string(m.caret.pos) + (m.caret.inChar ? " characters)" : " hex)");
  if ((d = differ("Col", ed.Col(), col)) != "") return d + on;
  if ((d = differ("Row", ed.Row(), row)) != "") return d + on;
  if ((d = differ("marks", ed.ChangedBits().Size(), m.markSize)) != "") return d;
  for (int32_t p : m.marks)
    if (!ed.ByteChanged(p)) return "mark " + std::to_string(p) + " missing";
  for (int i = 0; i < 32 && m.markSize > 0; ++i) {
    const auto p = static_cast<int32_t>(c.Below(m.markSize));
    if (ed.ByteChanged(p) != m.Mark(p)) return "mark " + std::to_string(p);
  }
  return {};
}

}  // namespace byteloom::test
