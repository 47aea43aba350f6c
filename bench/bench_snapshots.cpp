// SPDX-License-Identifier: GPL-3.0-or-later
// Narrowing a value down across snapshots. The benchmark makes eight
// snapshots of 64 MiB in the work folder (narrow/snap1.bin ... snap8.bin,
// once): random bytes, a u32 little-endian counter at a fixed offset that
// rises by 1 per snapshot, and 1,000 random bytes changed per snapshot.
//   narrow        seven steps "u32 LE increased by 1" must leave exactly the
//                 counter (peer: cmp -l over the same seven pairs)
//   narrow_dense  seven steps "unchanged" over eight identical snapshots:
//                 every offset stays a candidate (no peer)
//   narrow_big    three generated snapshots of 1 GiB (no disk): "unchanged",
//                 "unchanged", Undo step, "unchanged" and "changed"; its
//                 rss_growth_mib is the search's peak, a bit per offset
//                 (128 MiB) and a few MiB more (no peer)
//   narrow_8g     two snapshot files of 8 GiB (narrow8g/a.bin and b.bin,
//                 once): random bytes, 4,000 bytes of b with their top bit
//                 flipped, and a u32 little-endian counter past 4 GiB that
//                 rises by 1. One step "u32 LE increased by 1" from every
//                 offset must leave exactly the counter (peer: cmp -l a b);
//                 then, untimed but in rss_growth_mib, an "unchanged" step
//                 from every offset keeps all but the offsets next to a
//                 change: most pages of the bitmap mixed, those beyond the
//                 budget in the file (its time goes to stderr)
// The snapshots of narrow, narrow_dense and narrow_8g are files from disk,
// read in pieces like any snapshot.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "compare/snapshots.h"
#include "tests/support/patternsource.h"

namespace byteloom::bench {

namespace {

constexpr int kSnapshots = 8;
constexpr int32_t kSnapshotSize = 64 << 20;
constexpr int32_t kCounterOffset = 40'000'001;  // not a multiple of 4
constexpr int kNoisePerSnapshot = 1000;

std::string SnapshotName(const TBenchContext& ctx, int k) { return ctx.WorkDir + "/narrow/snap" + std::to_string(k) + ".bin"; }

bool Exists(const std::string& name, int64_t size) {
  struct stat st{};
  return stat(name.c_str(), &st) == 0 && st.st_size == size;
}

// Writes the snapshots in 1 MiB pieces (the benchmark's memory stays small).
void MakeSnapshots(const TBenchContext& ctx) {
  if (Exists(SnapshotName(ctx, kSnapshots), kSnapshotSize)) return;
  ::mkdir((ctx.WorkDir + "/narrow").c_str(), 0700);
  std::mt19937_64 noiseRng(42);
  std::vector<std::pair<int32_t, uint8_t>> noise;  // grows by 1,000 per snapshot
  for (int k = 1; k <= kSnapshots; ++k) {
    for (int i = 0; k > 1 && i < kNoisePerSnapshot; ++i) {
      auto pos = static_cast<int32_t>(noiseRng() % kSnapshotSize);
      if (pos + 4 > kCounterOffset && pos < kCounterOffset + 4) pos = 0;
      noise.emplace_back(pos, static_cast<uint8_t>(noiseRng()));
    }
    const std::string name = SnapshotName(ctx, k);
    {
      std::ofstream out(name + ".part", std::ios::binary | std::ios::trunc);
      std::mt19937_64 dataRng(7);
      std::vector<uint64_t> piece(1 << 17);
      for (int32_t done = 0; done < kSnapshotSize; done += 1 << 20) {
        for (auto& word : piece) word = dataRng();
        out.write(reinterpret_cast<const char*>(piece.data()), 1 << 20);
      }
      for (const auto& [pos, value] : noise) {
        out.seekp(pos);
        out.put(static_cast<char>(value));
      }
      const uint32_t counter = 0x00FFFFF0u + static_cast<uint32_t>(k);  // carries into the next byte on the way
      const uint8_t bytes[4] = {static_cast<uint8_t>(counter), static_cast<uint8_t>(counter >> 8),
                                static_cast<uint8_t>(counter >> 16), static_cast<uint8_t>(counter >> 24)};
      out.seekp(kCounterOffset);
      out.write(reinterpret_cast<const char*>(bytes), 4);
      if (!out) throw std::runtime_error("cannot write " + name);
    }
    std::rename((name + ".part").c_str(), name.c_str());
  }
}

double TimeNarrow(const TBenchContext& ctx, bool dense) {
  MakeSnapshots(ctx);
  TSnapshotSearch search;
  for (int k = 1; k <= kSnapshots; ++k) search.AddFile(SnapshotName(ctx, dense ? 1 : k));
  search.Restart({TValueType::vtU32, TByteOrder::boLittle, false});
  const TStep step = *MakeStep(dense ? TStepCondition::scUnchanged : TStepCondition::scIncreasedBy, TValueType::vtU32,
                               "1", "")
                          .Step;
  const double t0 = Now();
  for (int k = 1; k < kSnapshots; ++k) search.RunStep(step);
  const double seconds = Now() - t0;
  const TCandidates& left = search.Candidates();
  if (dense && left.Count() != kSnapshotSize - 3) throw std::runtime_error("offsets were lost");
  if (!dense && (left.Count() != 1 || left.At(0) != kCounterOffset))
    throw std::runtime_error(std::to_string(left.Count()) + " candidates are left, not the counter alone");
  return seconds;
}

// Snapshot k differs from snapshot 0 in every 4099th byte from k * 1000 on.
double TimeNarrowBig() {
  constexpr int32_t kSize = 1 << 30;
  TSnapshotSearch search;
  for (int k = 0; k < 3; ++k)
    search.AddSource(std::make_unique<test::TPatternSource>(kSize, 7, 4099 * (k > 0), k * 1000),
                     "generated");
  search.Restart({TValueType::vtU32, TByteOrder::boLittle, false});
  const auto step = [&search](TStepCondition condition) {
    if (!search.RunStep(*MakeStep(condition, TValueType::vtU32, "", "").Step)) throw std::runtime_error("step failed");
  };
  const double t0 = Now();
  step(TStepCondition::scUnchanged);
  step(TStepCondition::scUnchanged);
  search.UndoStep();
  step(TStepCondition::scUnchanged);
  const int64_t dense = search.Candidates().Count();
  search.Restart(search.Format());
  step(TStepCondition::scChanged);
  const double seconds = Now() - t0;
  if (dense < kSize - kSize / 256 || search.Candidates().Count() != (kSize - 1000 + 4098) / 4099 * 4)
    throw std::runtime_error("the candidates are not what the snapshots hold");
  return seconds;
}

constexpr int64_t kBigSize = int64_t{8} << 30;
constexpr int64_t kBigCounter = (int64_t{5} << 30) + 3;
constexpr int kBigNoise = 4000;

std::string BigName(const TBenchContext& ctx, char which) { return ctx.WorkDir + "/narrow8g/" + which + ".bin"; }

// Writes both snapshots in pieces of 8 MiB. The flipped bytes lie apart from
// each other and from the counter, so no u32 there rises by exactly 1.
void MakeBigSnapshots(const TBenchContext& ctx) {
  if (Exists(BigName(ctx, 'b'), kBigSize)) return;
  ::mkdir((ctx.WorkDir + "/narrow8g").c_str(), 0700);
  std::mt19937_64 rng(11);
  constexpr int64_t kSpacing = kBigSize / kBigNoise;
  std::vector<int64_t> noise;
  for (int k = 0; k < kBigNoise; ++k) {
    const int64_t pos = k * kSpacing + 8 + static_cast<int64_t>(rng() % (kSpacing - 16));
    if (pos + 8 < kBigCounter || pos > kBigCounter + 8) noise.push_back(pos);
  }
  if (noise.size() != kBigNoise) throw std::runtime_error("a flipped byte would touch the counter");
  std::ofstream a(BigName(ctx, 'a') + ".part", std::ios::binary | std::ios::trunc);
  std::ofstream b(BigName(ctx, 'b') + ".part", std::ios::binary | std::ios::trunc);
  constexpr int64_t kPiece = 8 << 20;
  std::vector<uint64_t> words(kPiece / 8);
  const auto bytes = reinterpret_cast<uint8_t*>(words.data());
  const auto put = [bytes](int64_t base, int64_t at, uint32_t value) {
    for (int64_t i = 0; i < 4; ++i)
      if (at + i >= base && at + i < base + kPiece) bytes[at + i - base] = static_cast<uint8_t>(value >> (8 * i));
  };
  auto next = noise.begin();
  for (int64_t base = 0; base < kBigSize; base += kPiece) {
    for (auto& word : words) word = rng();
    put(base, kBigCounter, 0x12345678u);
    a.write(reinterpret_cast<const char*>(bytes), kPiece);
    put(base, kBigCounter, 0x12345679u);
    for (auto flip = next; flip != noise.end() && *flip < base + kPiece; ++flip) bytes[*flip - base] ^= 0x80;
    b.write(reinterpret_cast<const char*>(bytes), kPiece);
    while (next != noise.end() && *next < base + kPiece) ++next;
  }
  a.close();
  b.close();
  if (!a || !b) throw std::runtime_error("cannot write the 8 GiB snapshots");
  std::rename((BigName(ctx, 'a') + ".part").c_str(), BigName(ctx, 'a').c_str());
  std::rename((BigName(ctx, 'b') + ".part").c_str(), BigName(ctx, 'b').c_str());
  ::sync();  // the first step does not meet the files' writeback
}

double TimeNarrow8g(const TBenchContext& ctx) {
  MakeBigSnapshots(ctx);
  TSnapshotSearch search;
  search.AddFile(BigName(ctx, 'a'));
  search.AddFile(BigName(ctx, 'b'));
  const TValueFormat format{TValueType::vtU32, TByteOrder::boLittle, false};
  search.Restart(format);
  double t0 = Now();
  search.RunStep(*MakeStep(TStepCondition::scIncreasedBy, TValueType::vtU32, "1", "").Step);
  const double seconds = Now() - t0;
  if (search.Candidates().Count() != 1 || search.Candidates().At(0) != kBigCounter)
    throw std::runtime_error(std::to_string(search.Candidates().Count()) + " candidates are left, not the counter alone");
  search.Restart(format);
  t0 = Now();
  search.RunStep(*MakeStep(TStepCondition::scUnchanged, TValueType::vtU32, "", "").Step);
  // Each flipped byte drops the four values that hold it, so does the counter's low byte.
  if (search.Candidates().Count() != kBigSize - 3 - 4 * (kBigNoise + 1))
    throw std::runtime_error("\"unchanged\" left " + std::to_string(search.Candidates().Count()) + " candidates");
  std::fprintf(stderr, "narrow_8g: \"unchanged\" %.3f s, %lld pages in the file, %zu MiB held\n", Now() - t0,
               static_cast<long long>(search.Candidates().PagesInFile()), search.MemoryBytes() >> 20);
  return seconds;
}

TRegister narrow("narrow", [](const TBenchContext& ctx) { return TimeNarrow(ctx, false); });
TRegister narrowDense("narrow_dense", [](const TBenchContext& ctx) { return TimeNarrow(ctx, true); });
TRegister narrowBig("narrow_big", [](const TBenchContext&) { return TimeNarrowBig(); });
TRegister narrow8g("narrow_8g", TimeNarrow8g);

}  // namespace

}  // namespace byteloom::bench
