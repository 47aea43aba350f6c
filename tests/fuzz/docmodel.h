// SPDX-License-Identifier: GPL-3.0-or-later
// A document and the plain model of the editing rules (tests/support/
// editmodel.h: the bytes in a vector, undo as copies of them) side by side:
// each step makes the same edit, undo or redo on both. The randomized test
// and the fuzz target of the document compare them after every step.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "document/document.h"
#include "tests/support/editmodel.h"

namespace byteloom::test {

class TDocPair {
 public:
  using Bytes = std::vector<uint8_t>;
  // file: the bytes of the file the document was opened on.
  TDocPair(TDocument& doc, const Bytes& file) : FDoc(doc), FFile(file) {
    M.Reset(file);
    FDoc.Watch([this](uint64_t, uint64_t removed, uint64_t inserted) {
      FNotified += static_cast<int64_t>(inserted) - static_cast<int64_t>(removed);
    });
  }

  Model M;

  // One random edit, undo or redo on both; returns what it did, or a text
  // starting with "MISMATCH".
  std::string Step(TChoices& c) {
    const int32_t size = M.Size();
    // Past 128 KiB, half the steps shorten the document.
    const bool shrink = size > (1 << 17) && c.Below(2) == 0;
    const int64_t op = shrink ? 50 : c.Below(100);
    const auto before = static_cast<int64_t>(FDoc.Length());
    FNotified = 0;
    auto pos = [&](int32_t end) { return static_cast<int32_t>(c.Below(2) == 0 ? std::min(FNext, end) : c.Below(end + 1)); };
    std::string what;
    if (op < 25 && size > 0) {  // type over a byte (now and then where the last edit ended)
      const int32_t p = pos(size - 1);
      const auto v = static_cast<uint8_t>(c.Next());
      if (M.bytes[static_cast<size_t>(p)] != v) Push(FDoc.OverwriteByte(p, v));
      M.ChangeByte(p, v);
      FNext = p + 1;
      what = "overwrite " + std::to_string(p);
    } else if (op < 40) {  // insert a block, or splice in a stretch of the file from any nibble
      const int32_t p = pos(size);
      Bytes data = c.RandomBytes(c.BlockLength());
      if (c.Below(3) == 0 && FFile.size() > data.size()) {
        const uint64_t from = static_cast<uint64_t>(c.Below(static_cast<int64_t>(2 * (FFile.size() - data.size()))));
        for (size_t i = 0; i < data.size(); ++i) data[i] = FileByteAtNibble(from + 2 * i);
        Push({{FDoc.Splice(2 * static_cast<uint64_t>(p), 0, {{TDocument::kFile, from, 2 * data.size()}})}});
      } else {
        Push(FDoc.Insert(p, data.data(), static_cast<int64_t>(data.size())));
      }
      M.InsertBuffer(data, p);
      FNext = p + static_cast<int32_t>(data.size());
      what = "insert " + std::to_string(data.size()) + " at " + std::to_string(p);
    } else if (op < 45) {
      const Bytes data = c.RandomBytes(c.BlockLength());
      Push(FDoc.Append(data.data(), static_cast<int64_t>(data.size())));
      M.AppendBuffer(data);
      what = "append " + std::to_string(data.size());
    } else if (op < 60 && size > 0) {  // delete or replace a range
      const auto first = static_cast<int32_t>(c.Below(size));
      const auto count = static_cast<int32_t>(1 + c.Below(std::min<int64_t>(size - first, c.BlockLength())));
      M.SetSelStart(first);
      M.SetSelEnd(first + count - 1);
      const Bytes data = c.RandomBytes(shrink || c.Below(2) == 0 ? 0 : c.BlockLength());
      Push(FDoc.Replace(first, count, data.data(), static_cast<int64_t>(data.size())));
      M.ReplaceSelection(data);
      what = "replace " + std::to_string(count) + " at " + std::to_string(first) + " by " + std::to_string(data.size());
    } else if (op < 75) {  // a nibble in or out (also just past the end: refused)
      const int32_t p = static_cast<int32_t>(c.Below(size + 1));
      const bool high = c.Below(2) == 0, insert = c.Below(2) == 0;
      TEditStep step = insert ? FDoc.InsertNibble(p, high) : FDoc.DeleteNibble(p, high);
      const bool done = insert ? M.InsertNibble(p, high) : M.DeleteNibble(p, high);
      if (done == step.Empty()) return "MISMATCH: the nibble edit at " + std::to_string(p) + " done by one side only";
      Push(std::move(step));
      what = std::string(insert ? "insert" : "delete") + " nibble " + std::to_string(p) + (high ? " high" : " low");
    } else if (op < 90) {
      if (FUndo.empty()) return "nothing to undo";
      FDoc.Undo(FUndo.back());
      FRedo.push_back(std::move(FUndo.back()));
      FUndo.pop_back();
      M.Undo();
      what = "undo";
    } else {
      if (FRedo.empty()) return "nothing to redo";
      FDoc.Redo(FRedo.back());
      FUndo.push_back(std::move(FRedo.back()));
      FRedo.pop_back();
      Trim();
      M.Redo();
      what = "redo";
    }
    if (FUndo.size() != M.steps.size() || FRedo.size() != M.undone.size())
      return "MISMATCH after " + what + ": " + std::to_string(FUndo.size()) + " undo steps, the model has " +
             std::to_string(M.steps.size());
    if (FNotified != static_cast<int64_t>(FDoc.Length()) - before) return "MISMATCH after " + what + ": the watchers missed a splice";
    return what;
  }

  // "" when the document reads as the model: its size, a random range and,
  // now and then, the whole.
  std::string Mismatch(TChoices& c) const {
    if (FDoc.Size() != M.Size())
      return "size " + std::to_string(FDoc.Size()) + ", the model has " + std::to_string(M.Size());
    const int64_t size = M.Size();
    int64_t first = c.Below(size + 1), count = c.Below(size - first + 1);
    if (c.Below(16) == 0) first = 0, count = size;
    Bytes got(static_cast<size_t>(count) + 1, 0xA5);
    FDoc.Read(first, count, got.data());
    if (got.back() != 0xA5) return "Read wrote past its range";
    const uint8_t* want = M.bytes.data() + first;
    if (count == 0 || std::memcmp(got.data(), want, static_cast<size_t>(count)) == 0) return "";
    const auto i = static_cast<size_t>(std::mismatch(got.begin(), got.end(), want).first - got.begin());
    return "byte " + std::to_string(first + static_cast<int64_t>(i)) + " reads " + std::to_string(got[i]) +
           ", the model has " + std::to_string(want[i]);
  }

 private:
  // The document keeps as many steps as the model.
  void Push(TEditStep step) {
    if (step.Empty()) return;
    FUndo.push_back(std::move(step));
    FRedo.clear();
    Trim();
  }
  void Trim() {
    if (FUndo.size() > static_cast<size_t>(kMaxSteps)) FUndo.pop_front();
  }
  uint8_t FileByteAtNibble(uint64_t n) const {
    auto nib = [&](uint64_t k) { return k & 1 ? FFile[k / 2] & 0x0F : FFile[k / 2] >> 4; };
    return static_cast<uint8_t>(nib(n) << 4 | nib(n + 1));
  }

  TDocument& FDoc;
  const Bytes FFile;
  std::deque<TEditStep> FUndo;
  std::vector<TEditStep> FRedo;
  int32_t FNext = 0;
  int64_t FNotified = 0;
};

}  // namespace byteloom::test
