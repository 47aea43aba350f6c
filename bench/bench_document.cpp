// SPDX-License-Identifier: GPL-3.0-or-later
// The document layer without a window: opening a 1 TiB sparse file, edits
// and undo at position 0 of an 8 GiB and of a 64 MiB file, a find in the
// data file unedited and after 100,000 random edits, the read of an
// unedited file, and a save.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "control/matcher.h"
#include "document/document.h"
#include "platform/platform.h"

namespace byteloom::bench {

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;
constexpr int kEdits = 1000;

// A file of size bytes in the work folder whose first bytes are those of
// from (up to 512 MiB; nothing when from is empty); the rest is a hole.
class TBenchFile {
 public:
  TBenchFile(const TBenchContext& ctx, const std::string& name, int64_t size, const std::string& from = {})
      : FName(ctx.WorkDir + "/" + name) {
    TTempFile made = TTempFile::CreateNamed(FName);
    if (!from.empty()) {
      const TFileHandle in = OpenRegularForReading(from);
      CopyData(in, 0, made.Handle(), 0, std::min({in.Size(), size, 512 * kMiB}));
    }
    made.Handle().SetSize(size);
    made.Release();
  }
  ~TBenchFile() { std::filesystem::remove(FName); }
  const std::string& Name() const { return FName; }

 private:
  std::string FName;
};

void ReadAllOf(const TDocument& doc, int64_t count) {
  std::vector<uint8_t> buffer(static_cast<size_t>(kMiB));
  for (int64_t pos = 0; pos < count; pos += kMiB) doc.Read(pos, std::min(kMiB, count - pos), buffer.data());
}

// The time of the first of kEdits edits at position 0 of a document just
// opened (or of undoing the newest of them); the mean over all goes to stderr.
double TimeEdits(const std::string& name, const std::string& file,
                 const std::function<TEditStep(TDocument&, int)>& edit, bool undo) {
  TDocument doc(OpenRegularForReading(file));
  std::vector<TEditStep> steps;
  steps.reserve(kEdits);
  auto timed = [&](const std::function<void(int)>& work) {
    const double t0 = Now();
    work(0);
    const double first = Now() - t0;
    for (int i = 1; i < kEdits; ++i) work(i);
    std::fprintf(stderr, "%s: %.2f us per step, %zu pieces\n", name.c_str(), (Now() - t0) / kEdits * 1e6,
                 doc.Pieces().Count());
    return first;
  };
  if (!undo) return timed([&](int i) { steps.push_back(edit(doc, i)); });
  for (int i = 0; i < kEdits; ++i) steps.push_back(edit(doc, i));
  const double first = timed([&](int i) { doc.Undo(steps[static_cast<size_t>(kEdits - 1 - i)]); });
  if (doc.Size() != OpenRegularForReading(file).Size()) throw std::runtime_error("undo left a wrong length");
  return first;
}

TEditStep InsertByte(TDocument& doc, int i) {
  const auto b = static_cast<uint8_t>(i);
  return doc.Insert(0, &b, 1);
}
TEditStep InsertNibble(TDocument& doc, int) { return doc.InsertNibble(0, true); }
TEditStep DeleteByte(TDocument& doc, int) { return doc.Delete(0, 1); }
TEditStep EachInTurn(TDocument& doc, int i) {
  return i % 3 == 0 ? InsertByte(doc, i) : i % 3 == 1 ? InsertNibble(doc, i) : DeleteByte(doc, i);
}

void RegisterEdits(const std::string& name, const std::function<TEditStep(TDocument&, int)>& edit, bool undo) {
  TRegister{name, [=](const TBenchContext& ctx) {
              const TBenchFile file(ctx, "doc8g.bin", 8192 * kMiB);
              return TimeEdits(name, file.Name(), edit, undo);
            }};
  TRegister{name + "_64m",
            [=](const TBenchContext& ctx) { return TimeEdits(name + "_64m", ctx.WorkDir + "/data64.bin", edit, undo); }};
}

const bool registered = [] {
  RegisterEdits("doc_insert_byte", InsertByte, false);
  RegisterEdits("doc_insert_nibble", InsertNibble, false);
  RegisterEdits("doc_delete_byte", DeleteByte, false);
  RegisterEdits("doc_undo", EachInTurn, true);
  return true;
}();

TRegister openSparse("doc_open_sparse", [](const TBenchContext& ctx) {
  const TBenchFile file(ctx, "sparse.bin", kMiB * kMiB);
  std::vector<uint8_t> buffer(64 << 10);
  const double t0 = Now();
  TDocument doc(OpenRegularForReading(file.Name()));
  doc.Read(0, 64 << 10, buffer.data());
  doc.Read(doc.Size() - (64 << 10), 64 << 10, buffer.data());
  return Now() - t0;
});

// The time of finding an absent 15-byte text in the whole document, the
// way the control's Find reads: 1 MiB pieces, each with the 14 bytes before.
double FindAbsent(const TDocument& doc) {
  static const uint8_t text[] = "Byteloom-absent";
  const int32_t count = 15;
  const TPatternMatcher matcher(text, count, nullptr);
  std::vector<uint8_t> buffer(static_cast<size_t>(kMiB + count));
  const double t0 = Now();
  int64_t found = 0;
  for (int64_t pos = 0; pos < doc.Size(); pos += kMiB) {
    const int64_t from = std::max<int64_t>(pos - (count - 1), 0);
    const int64_t n = std::min(pos + kMiB, doc.Size()) - from;
    doc.Read(from, n, buffer.data());
    found += matcher.First(buffer.data(), n) >= 0;
  }
  const double seconds = Now() - t0;
  if (found != 0) throw std::runtime_error("the absent text was found");
  return seconds;
}

// Find in the unedited data file (bench/run --size 8192: a real 8 GiB
// file), beside grep -F -c.
TRegister find("doc_find", [](const TBenchContext& ctx) {
  const TDocument doc(OpenRegularForReading(ctx.DataFile));
  return FindAbsent(doc);
});

// 100,000 byte and nibble edits at random places of the data file; then the
// same find as doc_find (beside it: what the edits cost later reads).
TRegister randomEdits("doc_random_edits", [](const TBenchContext& ctx) {
  TDocument doc(OpenRegularForReading(ctx.DataFile));
  std::mt19937_64 rng(1);
  const double t0 = Now();
  for (int i = 0; i < 100000; ++i) {
    const auto p = static_cast<int64_t>(rng() % static_cast<uint64_t>(doc.Size()));
    const auto b = static_cast<uint8_t>(rng());
    switch (rng() % 4) {
      case 0: doc.OverwriteByte(p, b); break;
      case 1: doc.Insert(p, &b, 1); break;
      case 2: doc.InsertNibble(p, (b & 1) != 0); break;
      default: doc.DeleteNibble(p, (b & 1) != 0); break;
    }
  }
  std::fprintf(stderr, "doc_random_edits: 100000 edits in %.3f s, %zu pieces\n", Now() - t0, doc.Pieces().Count());
  return FindAbsent(doc);
});

// Saving a document with one byte changed in its middle: a new file written
// from the pieces (kernel copies for the file's stretches) and synced; beside
// cp + sync. In a folder on a file system that shares extents (bench/run
// runs it on a btrfs loop file system as doc_save_btrfs) the copies share
// them instead of copying.
TRegister save("doc_save", [](const TBenchContext& ctx) {
  TDocument doc(OpenRegularForReading(ctx.DataFile));
  doc.OverwriteByte(doc.Size() / 2, 0x5A);
  const double t0 = Now();
  TTempFile out = TTempFile::CreateNamed(ctx.WorkDir + "/save.bin");
  if (!doc.WriteTo(out.Handle())) throw std::runtime_error("the save stopped");
  out.Handle().Sync();
  const double seconds = Now() - t0;
  if (out.Handle().Size() != doc.Size()) throw std::runtime_error("the saved file has a wrong length");
  return seconds;
});

TRegister read("doc_read", [](const TBenchContext& ctx) {
  TDocument doc(OpenRegularForReading(ctx.DataFile));
  const double t0 = Now();
  ReadAllOf(doc, std::min(doc.Size(), 512 * kMiB));
  return Now() - t0;
});

}  // namespace

}  // namespace byteloom::bench
