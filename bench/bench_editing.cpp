// SPDX-License-Identifier: GPL-3.0-or-later
// Edits at the start of a large document, which move the whole rest of it:
// inserting and deleting a byte, inserting a nibble, and undoing each. Only
// the edit (or the undo) is timed; the document is a copy of the data file.
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "bench/bench.h"
#include "bench/benchhost.h"

namespace byteloom::bench {

namespace {

// Opens a fresh copy of the data file, runs prepare (not timed), then times
// work, and checks the document's length afterwards.
double TimeEdit(const TBenchContext& ctx, const std::function<void(THexEditor&)>& prepare,
                const std::function<void(THexEditor&)>& work, int64_t lengthChange) {
  const std::string file = ctx.WorkDir + "/edit.bin";
  CopyFileForBench(ctx.DataFile, file);
  double seconds = 0;
  {
    TBenchHost host;
    THexEditor editor(host);
    editor.Loaded();
    if (!editor.LoadFromFile(file)) throw std::runtime_error(editor.LastError());
    const int64_t size = editor.DataSize();
    prepare(editor);
    const double t0 = Now();
    work(editor);
    seconds = Now() - t0;
    if (editor.DataSize() != size + lengthChange) throw std::runtime_error("the document has the wrong length");
  }
  std::filesystem::remove(file);
  return seconds;
}

void Nothing(THexEditor&) {}
void InsertByte(THexEditor& e) {
  const uint8_t b = 0x42;
  e.InsertBuffer(&b, 1, 0);
}
void InsertNibble(THexEditor& e) {
  if (!e.InsertNibble(0, true)) throw std::runtime_error("InsertNibble refused");
}
void DeleteFirstByte(THexEditor& e) {
  e.SetSelStart(0);
  e.DeleteSelection();
}
void Undo(THexEditor& e) {
  if (!e.CanUndo()) throw std::runtime_error("nothing to undo");
  e.Undo();
}

TRegister insertByte("insert_byte", [](const TBenchContext& ctx) { return TimeEdit(ctx, Nothing, InsertByte, 1); });
TRegister insertNibble("insert_nibble",
                       [](const TBenchContext& ctx) { return TimeEdit(ctx, Nothing, InsertNibble, 1); });
TRegister deleteByte("delete_byte",
                     [](const TBenchContext& ctx) { return TimeEdit(ctx, Nothing, DeleteFirstByte, -1); });
TRegister undoDelete("undo_delete", [](const TBenchContext& ctx) { return TimeEdit(ctx, DeleteFirstByte, Undo, 0); });
TRegister undoInsertByte("undo_insert_byte",
                         [](const TBenchContext& ctx) { return TimeEdit(ctx, InsertByte, Undo, 0); });
TRegister undoInsertNibble("undo_insert_nibble",
                           [](const TBenchContext& ctx) { return TimeEdit(ctx, InsertNibble, Undo, 0); });

}  // namespace

}  // namespace byteloom::bench
