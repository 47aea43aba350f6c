// SPDX-License-Identifier: GPL-3.0-or-later
// Randomized differential test of editing, undo and redo: seeded random sequences of
// edits, selections and undos run on the control and on a plain in-memory
// model of the same rules, compared after every step (bytes, length,
// Modified, the undo list, selection, caret cell and change marks).
//
// BYTELOOM_MODEL_STEPS (default 5000) and BYTELOOM_MODEL_SEED (default 1)
// make longer or different runs: BYTELOOM_MODEL_STEPS=200000 ctest -R Model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "control/hexeditor.h"
#include "tests/support/editmodel.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

int64_t EnvNumber(const char* name, int64_t fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  return std::strtoll(v, nullptr, 10);
}

class EditModel : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(800, 600);
  }
};

TEST_F(EditModel, RandomEditsAndUndosMatchThePlainModel) {
  const int64_t totalSteps = EnvNumber("BYTELOOM_MODEL_STEPS", 5000);
  const uint64_t seed = static_cast<uint64_t>(EnvNumber("BYTELOOM_MODEL_SEED", 1));
  std::mt19937_64 rng(seed);
  TChoices choices{[&] { return static_cast<uint64_t>(rng()); }};
  auto below = [&](int64_t n) { return choices.Below(n); };
  auto randomBytes = [&](int32_t n) { return choices.RandomBytes(n); };

  Model m;
  std::deque<std::string> trail;  // the last steps, for the failure report

  auto startDocument = [&]() {
    const int64_t r = below(4);
    if (r == 0) {
      Ed->CreateEmptyFile("Untitled");
      m.Reset({});
      trail.push_back("new empty document");
    } else {
      const int32_t size = static_cast<int32_t>(r == 1 ? below(64) : below(300 * 1024));
      const Bytes data = randomBytes(size);
      Load(data);
      Ed->ResetSelection(false);  // loading leaves the selection to the caret move
      m.Reset(data);
      trail.push_back("load " + std::to_string(size) + " bytes");
    }
  };

  auto check = [&](int64_t step) {
    std::ostringstream where;
    where << "seed " << seed << ", step " << step << "; last steps:";
    for (const auto& t : trail) where << "\n  " << t;
    SCOPED_TRACE(where.str());
    ASSERT_EQ(Mismatch(*Ed, m, choices), "");
  };

  startDocument();
  int32_t maxSize = 0;
  int maxSteps = 0;
  int undoBurst = 0;
  int redoBurst = 0;
  int typingBurst = 0;
  for (int64_t step = 0; step < totalSteps; ++step) {
    if (step > 0 && below(400) == 0) startDocument();
    const int32_t size = m.Size();
    // Runs of typing go past the 100-step limit; runs of undos empty the list.
    int64_t op = below(100);
    if (typingBurst > 0) {
      --typingBurst;
      op = 0;
    } else if (undoBurst > 0) {
      --undoBurst;
      op = 95;
    } else if (redoBurst > 0) {
      --redoBurst;
      op = 99;
    } else if (below(150) == 0) {
      typingBurst = static_cast<int>(80 + below(60));
    } else if (below(150) == 0) {
      undoBurst = static_cast<int>(20 + below(100));
    } else if (below(200) == 0) {
      redoBurst = static_cast<int>(10 + below(100));
    }
    // Keep the document within a few hundred KiB.
    if (size > 400 * 1024 && op >= 20 && op < 40) op = 45;

    const std::string what = ApplyStep(*Ed, m, op, choices);
    ASSERT_EQ(what.rfind("MISMATCH", 0), std::string::npos) << what;
    trail.push_back(what);
    if (trail.size() > 40) trail.pop_front();
    check(step);
    if (HasFatalFailure()) return;
    maxSize = std::max(maxSize, m.Size());
    maxSteps = std::max(maxSteps, static_cast<int>(m.steps.size()));
  }
  // The run reached large documents and the limit of the undo list.
  std::printf("model run: seed %llu, %lld steps, largest document %d bytes, longest undo list %d\n",
              static_cast<unsigned long long>(seed), static_cast<long long>(totalSteps), maxSize, maxSteps);
  if (totalSteps >= 2000) {
    EXPECT_GT(maxSize, 100 * 1024);
    EXPECT_EQ(maxSteps, kMaxSteps);
  }
}

}  // namespace
}  // namespace byteloom::test
