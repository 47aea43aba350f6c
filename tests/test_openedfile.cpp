// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a file: a file read in place tells what another program did to
// it; a private copy keeps the bytes as they were opened.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "document/openedfile.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

class OpenedFile : public TempDirTest {};

// Big enough to be read in place under the small limit the tests use.
constexpr int64_t kSize = 8192;
const TWatchedFile::TOptions kInPlace{1024, false};

Bytes Read(const TWatchedFile& f) {
  Bytes b(static_cast<size_t>(f.Handle().Size()));
  f.Handle().ReadExact(b.data(), static_cast<int64_t>(b.size()), 0);
  return b;
}

TEST_F(OpenedFile, AFileReadInPlaceTellsWhatAnotherProgramDid) {
  struct TRow {
    const char* What;
    std::function<void(const std::string&, const std::string&)> Change;
    TOpenedState State;
    bool Event;
  };
  const TRow rows[] = {
      {"untouched", [](const std::string&, const std::string&) {}, TOpenedState::osUnchanged, false},
      {"chmod", [](const std::string& p, const std::string&) { chmod(p.c_str(), 0400); }, TOpenedState::osUnchanged, true},
      {"rewritten", [](const std::string& p, const std::string&) { WriteFile(p, Pattern(kSize, 7)); }, TOpenedState::osChanged, true},
      {"appended",
       [](const std::string& p, const std::string&) {
         Bytes b = Pattern(kSize);
         b.push_back(1);
         WriteFile(p, b);
       },
       TOpenedState::osResized, true},
      {"truncated", [](const std::string& p, const std::string&) { truncate(p.c_str(), 100); }, TOpenedState::osResized, true},
      {"replaced",
       [](const std::string& p, const std::string& other) {
         WriteFile(other, Pattern(kSize));
         std::rename(other.c_str(), p.c_str());
       },
       TOpenedState::osReplaced, true},
      {"deleted", [](const std::string& p, const std::string&) { unlink(p.c_str()); }, TOpenedState::osDeleted, true},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.What);
    const std::string path = Path(std::string("f-") + row.What);
    WriteFile(path, Pattern(kSize));
    TWatchedFile f = TWatchedFile::Open(path, kInPlace);
    ASSERT_EQ(f.Mode(), TOpenMode::omInPlace);
    EXPECT_EQ(f.SnapshotName(), "");
    EXPECT_EQ(f.Check().State, TOpenedState::osUnchanged);
    row.Change(path, Path("other"));
    pollfd p{f.WatchFd(), POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0) == 1, row.Event);
    const TOpenedCheck c = f.Check();
    EXPECT_EQ(c.State, row.State);
    EXPECT_EQ(c.Text, IdentityChangeText(path, c.Change));
    EXPECT_EQ(c.Text.empty(), row.State == TOpenedState::osUnchanged);
    EXPECT_EQ(poll(&p, 1, 0), 0);  // Check drained the events
  }
}

TEST_F(OpenedFile, APrivateCopyKeepsTheBytesAsOpened) {
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace);
    const std::string path = Path("copied");
    WriteFile(path, Pattern(kSize));
    std::string name;
    {
      TWatchedFile f = TWatchedFile::Open(path, {kSize, false});
      ASSERT_EQ(f.Mode(), TOpenMode::omCopy);
      name = f.SnapshotName();
      EXPECT_EQ(List(WorkFiles()), std::vector<std::string>{name});
      if (replace) {
        WriteFile(Path("other"), Pattern(10, 3));
        std::rename(Path("other").c_str(), path.c_str());
      } else {
        WriteFile(path, Pattern(kSize, 5));
      }
      EXPECT_EQ(f.Check().State, TOpenedState::osUnchanged);
      EXPECT_EQ(Read(f), Pattern(kSize));
      TFileHandle owned = f.TakeHandle();
      Bytes b(kSize);
      owned.ReadExact(b.data(), kSize, 0);
      EXPECT_EQ(b, Pattern(kSize));
      EXPECT_EQ(f.Identity().Size, kSize);
    }
    EXPECT_TRUE(List(WorkFiles()).empty());  // the copy goes with it
  }
}

TEST_F(OpenedFile, WhatCannotBeOpenedSaysWhy) {
  EXPECT_THROW(TWatchedFile::Open(Path("missing")), EFileError);
  EXPECT_THROW(TWatchedFile::Open(Dir()), EFileError);
  EXPECT_TRUE(List(WorkFiles()).empty());
}

}  // namespace
}  // namespace byteloom::test
