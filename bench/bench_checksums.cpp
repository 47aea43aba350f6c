// SPDX-License-Identifier: GPL-3.0-or-later
// Checksums over the whole 512 MiB document, read in pieces through its
// byte source: SHA-256 (peer: sha256sum) and CRC-32 (peer: Python's
// zlib.crc32 over the file mapped into memory).
#include <stdexcept>

#include "bench/bench.h"
#include "bench/benchhost.h"
#include "control/bytesource.h"
#include "control/checksums.h"

namespace byteloom::bench {

namespace {

double TimeChecksum(const TBenchContext& ctx, TChecksumKind kind) {
  TBenchHost host;
  THexEditor editor(host);
  editor.Loaded();
  if (!editor.LoadFromFile(ctx.DataFile)) throw std::runtime_error(editor.LastError());
  TEditorSource source(editor);
  const double t0 = Now();
  const std::vector<uint8_t> value = ComputeChecksum(source, 0, source.Size(), kind);
  const double seconds = Now() - t0;
  if (value.size() != static_cast<size_t>(ChecksumWidth(kind))) throw std::runtime_error("no value");
  return seconds;
}

TRegister sha256("checksum_sha256", [](const TBenchContext& ctx) { return TimeChecksum(ctx, TChecksumKind::ckSha256); });
TRegister crc32("checksum_crc32", [](const TBenchContext& ctx) { return TimeChecksum(ctx, TChecksumKind::ckCrc32); });

}  // namespace

}  // namespace byteloom::bench
