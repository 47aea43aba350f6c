// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the input bytes choose a starting document and a sequence
// of edits, selections and undos, which run on the control and on the plain
// model; any difference aborts. Built with clang by scripts/test:
//   build-fuzz/tests/fuzz/edit_fuzz -max_total_time=SECONDS
#include <cstdio>
#include <string>

#include "control/hexeditor.h"
#include "tests/fuzz/fuzzinput.h"
#include "tests/support/editmodel.h"
#include "tests/support/fakehost.h"

using namespace byteloom;
using namespace byteloom::test;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeFuzzFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput input(data, size);
  TChoices choices = input.Choices();
  std::vector<uint8_t> bytes;
  const std::string file = MakeFuzzFile(choices, bytes);
  Model m;
  m.Reset(bytes);

  TFakeHost host;
  THexEditor ed(host);
  host.Target = &ed;
  ed.Loaded();
  ed.SetClientSize(800, 600);
  if (!ed.LoadFromFile(file)) abort();
  ed.ResetSelection(false);
  while (!input.Exhausted()) {
    const std::string what = ApplyStep(ed, m, choices.Below(100), choices);
    std::string diff = what.rfind("MISMATCH", 0) == 0 ? what : Mismatch(ed, m, choices);
    if (!diff.empty()) {
      std::fprintf(stderr, "after %s: %s\n", what.c_str(), diff.c_str());
      abort();
    }
  }
  return 0;
}
