// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a temporary folder of the run (TMPDIR, removed
// at the end), the input bytes as the random choices of the steps, and the
// file a run starts from.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/editmodel.h"

namespace byteloom::test {

inline std::string& FuzzFolder() {
  static std::string folder;
  return folder;
}

// For LLVMFuzzerInitialize.
inline void MakeFuzzFolder() {
  char name[] = "/tmp/byteloom-fuzz-XXXXXX";
  if (!mkdtemp(name)) abort();
  FuzzFolder() = name;
  setenv("TMPDIR", name, 1);
  atexit([] {
    const std::string cmd = "rm -rf '" + FuzzFolder() + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", FuzzFolder().c_str());
  });
}

// The input bytes one by one; zeros once they have run out.
class TFuzzInput {
 public:
  TFuzzInput(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  TChoices Choices() {
    return TChoices{[this]() -> uint64_t {
      if (FAt >= FSize) {
        FExhausted = true;
        return 0;
      }
      return FData[FAt++];
    }};
  }
  bool Exhausted() const { return FExhausted; }

 private:
  const uint8_t* FData;
  size_t FSize, FAt = 0;
  bool FExhausted = false;
};

// The file a run starts from: two choices give its length (up to 64 KiB),
// then its bytes; written as doc.bin in the run's folder.
inline std::string MakeFuzzFile(TChoices& choices, std::vector<uint8_t>& bytes) {
  const auto length = static_cast<int32_t>(choices.Next() << 8 | choices.Next());
  bytes = choices.RandomBytes(length);
  const std::string name = FuzzFolder() + "/doc.bin";
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), length);
  return name;
}

}  // namespace byteloom::test
