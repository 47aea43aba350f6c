// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the input bytes choose a starting document and a sequence
// of edits, selections and undos, which run on the control and on the plain
// model; any difference aborts. Built with clang by scripts/test:
//   build-fuzz/tests/fuzz/edit_fuzz -max_total_time=SECONDS
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "control/hexeditor.h"
#include "tests/support/editmodel.h"
#include "tests/support/fakehost.h"

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
  // Two bytes choose the length of the first document (up to 64 KiB).
  const int32_t length = static_cast<int32_t>(choices.Next() << 8 | choices.Next());
  Model m;
  m.Reset(choices.RandomBytes(length));
  const std::string file = Folder + "/doc.bin";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(m.bytes.data()), length);

  TFakeHost host;
  THexEditor ed(host);
  host.Target = &ed;
  ed.Loaded();
  ed.SetClientSize(800, 600);
  if (!ed.LoadFromFile(file)) abort();
  ed.ResetSelection(false);
  while (!exhausted) {
    const std::string what = ApplyStep(ed, m, choices.Below(100), choices);
    std::string diff = what.rfind("MISMATCH", 0) == 0 ? what : Mismatch(ed, m, choices);
    if (!diff.empty()) {
      std::fprintf(stderr, "after %s: %s\n", what.c_str(), diff.c_str());
      abort();
    }
  }
  return 0;
}
