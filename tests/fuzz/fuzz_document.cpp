// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target of the document layer: the input bytes choose a file and
// a sequence of byte and nibble splices, undos and redos, which run on a
// document over that file and on the plain model; any difference aborts.
// Built with clang by scripts/test:
//   build-fuzz/tests/fuzz/document_fuzz -max_total_time=SECONDS
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "document/document.h"
#include "tests/fuzz/docmodel.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {
std::string Folder;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char name[] = "/tmp/byteloom-fuzz-XXXXXX";
  if (!mkdtemp(name)) abort();
  Folder = name;
  setenv("TMPDIR", name, 1);
  atexit([] {
    const std::string cmd = "rm -rf '" + Folder + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", Folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t at = 0;
  bool exhausted = false;
  TChoices choices{[&]() -> uint64_t {
    if (at >= size) {
      exhausted = true;
      return 0;
    }
    return data[at++];
  }};
  // Two bytes choose the length of the file (up to 64 KiB).
  const auto length = static_cast<int32_t>(choices.Next() << 8 | choices.Next());
  const std::vector<uint8_t> file = choices.RandomBytes(length);
  const std::string name = Folder + "/doc.bin";
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), length);
  TDocument doc(OpenRegularForReading(name));
  TDocPair pair(doc, file);
  while (!exhausted) {
    const std::string what = pair.Step(choices);
    const std::string diff = what.rfind("MISMATCH", 0) == 0 ? what : pair.Mismatch(choices);
    if (!diff.empty()) {
      std::fprintf(stderr, "after %s: %s\n", what.c_str(), diff.c_str());
      abort();
    }
  }
  return 0;
}
