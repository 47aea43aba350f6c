// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target of the document layer: the input bytes choose a file and
// a sequence of byte and nibble splices, undos and redos, which run on a
// document over that file and on the plain model; any difference aborts.
// Built with clang by scripts/test:
//   build-fuzz/tests/fuzz/document_fuzz -max_total_time=SECONDS
#include <cstdio>
#include <string>

#include "document/document.h"
#include "tests/fuzz/docmodel.h"
#include "tests/fuzz/fuzzinput.h"

using namespace byteloom;
using namespace byteloom::test;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeFuzzFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput input(data, size);
  TChoices choices = input.Choices();
  std::vector<uint8_t> file;
  TDocument doc(OpenRegularForReading(MakeFuzzFile(choices, file)));
  TDocPair pair(doc, file);
  while (!input.Exhausted()) {
    const std::string what = pair.Step(choices);
    const std::string diff = what.rfind("MISMATCH", 0) == 0 ? what : pair.Mismatch(choices);
    if (!diff.empty()) {
      std::fprintf(stderr, "after %s: %s\n", what.c_str(), diff.c_str());
      abort();
    }
  }
  return 0;
}
