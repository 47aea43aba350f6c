// SPDX-License-Identifier: GPL-3.0-or-later
// A test with its own folder (used as TMPDIR), a recording host and one
// control constructed after TMPDIR is set, holding an empty document.
#pragma once

#include <memory>

#include "control/hexeditor.h"
#include "tests/support/docbytes.h"
#include "tests/support/fakehost.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {

class EditorTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    Ed = std::make_unique<THexEditor>(Host);
    Host.Target = Ed.get();
    Ed->Loaded();
  }
  void TearDown() override {
    Ed.reset();
    TempDirTest::TearDown();
  }
  // Writes data to a file of the test's folder and opens it in the control.
  std::string Load(const Bytes& data, const std::string& name = "doc.bin") {
    const std::string path = Path(name);
    WriteFile(path, data);
    EXPECT_TRUE(Ed->LoadFromFile(path)) << Ed->LastError();
    return path;
  }
  // The document's bytes as the control holds them.
  Bytes Document() { return DocumentBytes(*Ed); }

  TFakeHost Host;
  std::unique_ptr<THexEditor> Ed;
};

}  // namespace byteloom::test
