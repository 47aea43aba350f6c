// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/document.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace byteloom {

namespace {

// Shifted pieces are read through a buffer of this many bytes (small
// enough to stay in the cache between the read and the shift).
constexpr uint64_t kShiftBlock = uint64_t{64} << 10;
// A save writes what it cannot copy in the kernel in stretches of this many bytes.
constexpr uint64_t kWriteBlock = uint64_t{1} << 20;
// Kernel copies of a save go in steps of this many bytes, for the progress.
constexpr uint64_t kCopyStep = uint64_t{64} << 20;
// File systems share extents in blocks of this many bytes (or a divisor).
constexpr uint64_t kShareBlock = 4096;
// Around an edit, the pieces inside this many nibbles on either side are
// rewritten as one once there are kDense of them: pieces stay 256 bytes
// long on average however densely a region is edited.
constexpr uint64_t kDenseReach = 4096;
constexpr size_t kDense = 16;

uint8_t GetNibble(const uint8_t* b, uint64_t n) { return n & 1 ? b[n / 2] & 0x0F : b[n / 2] >> 4; }

void PutNibble(uint8_t* b, uint64_t n, uint8_t v) {
  uint8_t& x = b[n / 2];
  x = n & 1 ? static_cast<uint8_t>((x & 0xF0) | v) : static_cast<uint8_t>((x & 0x0F) | v << 4);
}

// Copies count nibbles from src (from nibble sn on; zeros when src is null)
// to dst from nibble dn on, leaving the other half of a shared byte alone.
void CopyNibbles(const uint8_t* src, uint64_t sn, uint8_t* dst, uint64_t dn, uint64_t count) {
  if (count > 0 && dn & 1) {
    PutNibble(dst, dn++, src ? GetNibble(src, sn++) : 0);
    --count;
  }
  const uint64_t bytes = count / 2;
  uint8_t* d = dst + dn / 2;
  if (!src) {
    std::memset(d, 0, bytes);
  } else if (!(sn & 1)) {
    std::memcpy(d, src + sn / 2, bytes);
  } else {
    // Each byte is the low half of one source byte and the high half of the
    // next: sixteen at a time in vector registers, or eight at a time in a
    // big-endian word, then the rest one by one.
    const uint8_t* s = src + sn / 2;
    uint64_t i = 0;
#ifdef __SSE2__
    const __m128i high = _mm_set1_epi8(static_cast<char>(0xF0)), low = _mm_set1_epi8(0x0F);
    for (; i + 16 <= bytes; i += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
      const __m128i v = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(a, 4), high), _mm_and_si128(_mm_srli_epi16(b, 4), low));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), v);
    }
#endif
    for (; std::endian::native == std::endian::little && i + 8 < bytes; i += 8) {
      uint64_t w;
      std::memcpy(&w, s + i, 8);
      w = __builtin_bswap64(w) << 4 | s[i + 8] >> 4;
      w = __builtin_bswap64(w);
      std::memcpy(d + i, &w, 8);
    }
    for (; i < bytes; ++i) d[i] = static_cast<uint8_t>(s[i] << 4 | s[i + 1] >> 4);
  }
  if (count & 1) PutNibble(dst, dn + 2 * bytes, src ? GetNibble(src, sn + 2 * bytes) : 0);
}

bool ByteAligned(uint64_t at, const TPiece& q) { return (at | q.Start | q.Length) % 2 == 0; }

}  // namespace

TDocument::TDocument() {
  FSources.push_back(std::make_unique<TZeroSource>());
  auto added = std::make_unique<TAddedBytes>();
  FAdded = added.get();
  FSources.push_back(std::move(added));
  FSources.push_back(nullptr);
  FTree.SetUniform(kZeros);
}

TDocument::TDocument(TFileHandle file) : TDocument() {
  FSources[kFile] = std::make_unique<TOpenedFile>(std::move(file));
  if (const uint64_t size = FSources[kFile]->Size()) FTree.Splice(0, 0, {{kFile, 0, 2 * size}});
}

TDocument::TDocument(std::unique_ptr<TLiveSource> live) : TDocument() {
  FLive = live.get();
  FSources[kFile] = std::move(live);
  if (const uint64_t size = FSources[kFile]->Size()) FTree.Splice(0, 0, {{kFile, 0, 2 * size}});
}

uint8_t TDocument::AddSource(std::unique_ptr<TPieceSource> source) {
  if (FSources.size() > 255) throw std::length_error("Too many sources in one document");
  FSources.push_back(std::move(source));
  return static_cast<uint8_t>(FSources.size() - 1);
}

const TPieceSource& TDocument::Source(uint8_t number) const {
  if (number >= FSources.size() || !FSources[number]) throw std::out_of_range("Invalid piece source");
  return *FSources[number];
}

TPiece TDocument::Add(const uint8_t* data, int64_t count) {
  if (count < 0) throw std::out_of_range("Invalid byte count");
  return {kAdded, 2 * FAdded->Append(data, static_cast<uint64_t>(count)), 2 * static_cast<uint64_t>(count)};
}

TSplice TDocument::Splice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted) {
  for (const TPiece& p : inserted) {
    const uint64_t nibbles = 2 * Source(p.Source).Size();
    if (p.Start > nibbles || p.Length > nibbles - p.Start) throw std::out_of_range("Invalid piece");
  }
  if (at > Length() || removed > Length() - at) throw std::out_of_range("Invalid splice range");
  if (FLive) return LiveSplice(at, removed, inserted);
  if (FHook) FHook(at, removed, inserted);
  TSplice back{at, TotalLength(inserted), FTree.Splice(at, removed, inserted)};
  for (size_t i = 0; i < FWatchers.size(); ++i) FWatchers[i].second(at, removed, back.Length);
  return back;
}

void TDocument::Continue(TEditStep& step, uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted) {
  try {
    step.Splices.push_back(Splice(at, removed, inserted));
  } catch (...) {
    TakeBack(step);
    throw;
  }
}

TSplice TDocument::LiveSplice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted,
                              const std::vector<TPiece>* expected) {
  if (TotalLength(inserted) != removed) throw EFixedLength();
  if (removed == 0) return {at, 0, {}, {}};
  // The whole bytes the nibbles lie in: as they are now, and as they become.
  const uint64_t first = at / 2, count = (at + removed + 1) / 2 - first, shift = at - 2 * first;
  std::vector<uint8_t> now(count), next, buffer;
  Read(static_cast<int64_t>(first), static_cast<int64_t>(count), now.data());
  const auto overlay = [&](const std::vector<TPiece>& pieces) {
    next = now;
    uint64_t dn = shift;
    for (const TPiece& p : pieces) ReadPiece(p, next.data(), dn, buffer), dn += p.Length;
    return next;
  };
  if (expected && overlay(*expected) != now) FChangedMeanwhile = true;
  overlay(inserted);
  // Copies of both, so that undo and redo never read the memory for them.
  const TPiece was = expected ? TPiece{} : Add(now.data(), static_cast<int64_t>(count)), wrote = Add(next.data(), static_cast<int64_t>(count));
  FLive->WriteBytes(first, count, next.data());
  for (size_t i = 0; i < FWatchers.size(); ++i) FWatchers[i].second(at, removed, removed);
  // Taking this back writes what was there before; taking back an undo or a
  // redo writes what the step it took back wrote, not what the program put
  // there meanwhile.
  return {at, removed, expected ? *expected : std::vector<TPiece>{{kAdded, was.Start + shift, removed}},
          {{kAdded, wrote.Start + shift, removed}}};
}

void TDocument::TakeBack(TEditStep& step) noexcept {
  if (FLive) {
    // Writes the old bytes back; memory that no longer takes them is as the
    // failed write left it.
    for (auto s = step.Splices.rbegin(); s != step.Splices.rend(); ++s) try {
        LiveSplice(s->At, s->Length, s->Pieces);
      } catch (...) {
      }
    step.Splices.clear();
    return;
  }
  for (auto s = step.Splices.rbegin(); s != step.Splices.rend(); ++s) {
    FTree.Splice(s->At, s->Length, s->Pieces);
    for (size_t i = 0; i < FWatchers.size(); ++i) FWatchers[i].second(s->At, s->Length, TotalLength(s->Pieces));
  }
  step.Splices.clear();
}

const TFileHandle& TDocument::AddedFile() { return FAdded->Open(); }

void TDocument::CloseAddedIfEmpty() noexcept { FAdded->CloseIfEmpty(); }

int TDocument::Watch(TWatcher watcher) {
  FWatchers.emplace_back(++FNextWatcher, std::move(watcher));
  return FNextWatcher;
}

void TDocument::Unwatch(int id) {
  std::erase_if(FWatchers, [id](const auto& w) { return w.first == id; });
}

void TDocument::Read(int64_t pos, int64_t count, uint8_t* dest) const {
  if (pos < 0 || count < 0 || pos > Size() || count > Size() - pos) throw std::out_of_range("Invalid read range");
  const uint64_t base = 2 * static_cast<uint64_t>(pos);
  std::vector<uint8_t> buffer;
  FTree.Visit(base, 2 * static_cast<uint64_t>(count), [&](uint64_t at, const TPiece& piece) {
    ReadPiece(piece, dest, at - base, buffer);
    return true;
  });
}

void TDocument::ReadPiece(const TPiece& q, uint8_t* dest, uint64_t dn, std::vector<uint8_t>& buffer) const {
  const TPieceSource& src = *FSources[q.Source];
  if (src.Zeros()) return CopyNibbles(nullptr, 0, dest, dn, q.Length);
  if (ByteAligned(dn, q)) return src.ReadBytes(q.Start / 2, q.Length / 2, dest + dn / 2);
  buffer.resize(std::max<size_t>(buffer.size(), std::min(q.Length / 2, kShiftBlock) + 1));
  for (uint64_t done = 0; done < q.Length;) {
    const uint64_t n = std::min(q.Length - done, 2 * kShiftBlock);
    const uint64_t s = q.Start + done, first = s / 2;
    src.ReadBytes(first, (s + n + 1) / 2 - first, buffer.data());
    CopyNibbles(buffer.data(), s % 2, dest, dn + done, n);
    done += n;
  }
}

TEditStep TDocument::Replace(int64_t pos, int64_t count, const uint8_t* data, int64_t dataCount) {
  if (pos < 0 || count < 0 || dataCount < 0 || pos > Size() || count > Size() - pos)
    throw std::out_of_range("Invalid edit range");
  if (count == 0 && dataCount == 0) return {};
  std::vector<TPiece> inserted;
  if (dataCount > 0) inserted.push_back(Add(data, dataCount));
  return Put(pos, count, inserted);
}

TEditStep TDocument::Put(int64_t pos, int64_t count, const std::vector<TPiece>& pieces) {
  if (pos < 0 || count < 0 || pos > Size() || count > Size() - pos) throw std::out_of_range("Invalid edit range");
  const uint64_t at = 2 * static_cast<uint64_t>(pos);
  TEditStep step{{Splice(at, 2 * static_cast<uint64_t>(count), pieces)}};
  Consolidate(at);
  return step;
}

void TDocument::ReserveAdded(int64_t count) {
  if (count < 0) throw std::out_of_range("Invalid byte count");
  FAdded->Reserve(static_cast<uint64_t>(count));
}

TEditStep TDocument::InsertNibble(int64_t pos, bool highHalf) {
  if (Size() == 0) return {{Splice(0, 0, {Zeros(2)})}};
  if (pos < 0 || pos >= Size()) return {};
  const uint64_t at = 2 * static_cast<uint64_t>(pos) + (highHalf ? 0 : 1);
  TEditStep step{{Splice(at, 0, {Zeros(1)})}};
  Continue(step, Length(), 0, {Zeros(1)});
  Consolidate(at);
  return step;
}

TEditStep TDocument::DeleteNibble(int64_t pos, bool highHalf) {
  if (pos < 0 || pos >= Size()) return {};
  const uint64_t at = 2 * static_cast<uint64_t>(pos) + (highHalf ? 0 : 1);
  TEditStep step{{Splice(at, 1, {})}};
  Continue(step, Length(), 0, {Zeros(1)});
  Consolidate(at);
  return step;
}

void TDocument::Undo(TEditStep& step) {
  for (auto s = step.Splices.rbegin(); s != step.Splices.rend(); ++s) *s = Again(*s);
}

void TDocument::Redo(TEditStep& step) {
  for (TSplice& s : step.Splices) s = Again(s);
}

void TDocument::Consolidate(uint64_t at) {
  if (FLive) return;  // its one piece is the memory itself
  const uint64_t length = Length() & ~uint64_t{1};
  const uint64_t lo = at > kDenseReach ? at - kDenseReach : 0, hi = std::min(length, at + kDenseReach);
  if (lo >= hi) return;
  uint64_t first = hi, last = lo;
  size_t inside = 0;
  FTree.Visit(lo, hi - lo, [&](uint64_t p, const TPiece& q) {
    // A piece cut by the window's edge is left as it is.
    if ((p > lo || lo == 0) && (p + q.Length < hi || hi == length)) {
      ++inside;
      first = std::min(first, p);
      last = std::max(last, p + q.Length);
    }
    return true;
  });
  if (inside < kDense) return;
  first &= ~uint64_t{1};
  last = (last + 1) & ~uint64_t{1};
  std::vector<uint8_t> bytes((last - first) / 2);
  try {
    Read(static_cast<int64_t>(first / 2), static_cast<int64_t>(bytes.size()), bytes.data());
    FTree.Splice(first, last - first, {Add(bytes.data(), static_cast<int64_t>(bytes.size()))});
  } catch (const EFileError&) {
    // No room for the copy: the pieces stay as they are, which is as right.
  }
}

int64_t TDocument::KnownZeros(int64_t pos, int64_t limit) const {
  const auto from = 2 * static_cast<uint64_t>(pos), to = 2 * static_cast<uint64_t>(std::min(limit, Size()));
  if (from >= to) return 0;
  uint64_t reached = from;
  FTree.Visit(from, to - from, [&](uint64_t at, const TPiece& q) {
    const TPieceSource& src = *FSources[q.Source];
    if (src.Zeros()) {
      reached = at + q.Length;
      return true;
    }
    if (!src.Sparse() || !ByteAligned(at, q)) return false;
    const auto start = static_cast<int64_t>(q.Start / 2), end = static_cast<int64_t>((q.Start + q.Length) / 2);
    const int64_t data = src.File()->DataExtent(start, end).first;
    reached = at + 2 * static_cast<uint64_t>(data - start);
    return data == end;
  });
  return static_cast<int64_t>(reached / 2) - pos;
}

bool TDocument::WriteTo(TFileHandle& out, const TProgress& progress) const {
  const uint64_t end = Length() & ~uint64_t{1};
  const int64_t total = Size();
  out.SetSize(0);
  bool go = true;
  auto reached = [&](uint64_t nibble) { return go = !progress || progress(static_cast<int64_t>(nibble / 2), total); };
  // Everything from pending on that is not written yet goes through a buffer.
  uint64_t pending = 0;
  std::vector<uint8_t> buffer;
  // The new file starts empty and is written in order, so what is never
  // written reads as zeros: zero blocks and the holes of a sparse file are
  // skipped, and stay holes of the new file.
  auto flush = [&](uint64_t to) {
    if (pending < to && buffer.empty()) buffer.resize(kWriteBlock);
    while (go && pending < to) {
      const uint64_t n = std::min(to - pending, 2 * kWriteBlock);
      Read(static_cast<int64_t>(pending / 2), static_cast<int64_t>(n / 2), buffer.data());
      for (uint64_t b = 0; b < n / 2; b += kShareBlock) {
        const uint64_t m = std::min(kShareBlock, n / 2 - b);
        const uint8_t* block = buffer.data() + b;
        if (block[0] != 0 || std::memcmp(block, block + 1, m - 1) != 0)
          out.WriteAt(block, static_cast<int64_t>(m), static_cast<int64_t>(pending / 2 + b));
      }
      reached(pending += n);
    }
  };
  FTree.Visit(0, end, [&](uint64_t at, const TPiece& q) {
    const TPieceSource& src = *FSources[q.Source];
    if (!ByteAligned(at, q) || !(src.Zeros() || src.File())) return true;
    // The nibbles [from, to) of the piece go by kernel copies.
    uint64_t from = at, to = at + q.Length;
    if (src.File() && (at / 2) % kShareBlock == (q.Start / 2) % kShareBlock) {
      // Extents are shared block by block: a stretch at the same place in
      // its block in both files shares all its whole blocks when the parts
      // before the first block boundary and after the last go through the
      // buffer (after one byte typed, all but the blocks around it).
      const uint64_t head = (kShareBlock - (at / 2) % kShareBlock) % kShareBlock;
      const uint64_t body = q.Length / 2 > head ? (q.Length / 2 - head) / kShareBlock * kShareBlock : 0;
      if (body == 0) return true;
      from = at + 2 * head;
      to = from + 2 * body;
    }
    flush(from);
    // Zeros stay a hole of the new file.
    for (uint64_t done = from; go && done < to && !src.Zeros();) {
      const auto srcPos = static_cast<int64_t>((q.Start + done - at) / 2);
      const auto [data, stop] = src.File()->DataExtent(srcPos, srcPos + static_cast<int64_t>((to - done) / 2));
      if (data > srcPos) {
        reached(done += 2 * static_cast<uint64_t>(data - srcPos));
        continue;
      }
      const uint64_t n = std::min(2 * static_cast<uint64_t>(stop - srcPos), 2 * kCopyStep);
      CopyData(*src.File(), srcPos, out, static_cast<int64_t>(done / 2), static_cast<int64_t>(n / 2));
      reached(done += n);
    }
    if (go) reached(pending = to);
    return go;
  });
  flush(end);
  if (go) out.SetSize(total);
  return go;
}

}  // namespace byteloom
