// SPDX-License-Identifier: GPL-3.0-or-later
// Watching a save file as a game writes it: in place, renamed over, half
// written, opened without a change, deleted, replaced by a link or a FIFO,
// its folder removed. Each complete version is kept once, in a private copy
// that outlives the next save and goes with its snapshot.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "control/versionwatch.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

class VersionWatch : public TempDirTest {
 protected:
  static int CountCopies() {  // in the work folder, 0600 each
    int n = 0;
    for (const std::string& name : List(WorkFiles()))
      n += name.ends_with(".BLVW") && (Stat(WorkFiles() + "/" + name).st_mode & 0777) == 0600;
    return n;
  }
};

TEST_F(VersionWatch, KeepsEachCompleteVersionOnceAndTellsWhatWentWrong) {
  std::filesystem::create_directory(Path("game"));
  const std::string save = Path("game/save.dat"), fresh = Path("game/save.tmp");
  std::vector<Bytes> saves;  // gold as u32 at 0x20 among bytes that change with every save
  for (uint32_t k = 0; k < 7; ++k) {
    saves.push_back(Pattern(256, k + 1));
    for (int b = 0; b < 4; ++b) saves.back()[0x20 + b] = static_cast<uint8_t>((120 + 15 * k) >> (8 * b));
  }
  saves[2] = saves[1];
  saves[2][200] ^= 1;  // same size, one bit
  WriteFile(save, saves[0]);
  TVersionWatch watch(save);
  int fd = -1;
  const auto write = [&](int k, size_t from, size_t to) { ASSERT_EQ(::write(fd, saves[k].data() + from, to - from), ssize_t(to - from)); };
  const auto inPlace = [&](int k) { fd = open(save.c_str(), O_WRONLY | O_TRUNC), write(k, 0, 256), close(fd); };
  const auto over = [&](const std::function<void()>& make) { make(), std::rename(fresh.c_str(), save.c_str()); };
  const auto link = [&] { over([&] { symlink(save.c_str(), fresh.c_str()); }); };
  const struct {
    const char* What;
    std::function<void()> Change;
    int Kept;             // the index of the new version's bytes, or -1
    const char* Problem;  // a part of the problem told, or "" for none
  } rows[] = {
      {"as the watch starts", [] {}, 0, ""},
      {"nothing happened", [] {}, -1, ""},
      {"another file in the folder", [&] { WriteFile(Path("game/options.ini"), Pattern(10)); }, -1, ""},
      {"written in place", [&] { inPlace(1); }, 1, ""},
      {"opened for writing, closed unchanged", [&] { close(open(save.c_str(), O_RDWR)); }, -1, ""},
      {"one bit written in place", [&] { inPlace(2); }, 2, ""},
      {"a new file renamed over it", [&] { over([&] { WriteFile(fresh, saves[3]); }); }, 3, ""},
      {"half written", [&] { fd = open(save.c_str(), O_WRONLY | O_TRUNC), write(4, 0, 100); }, -1, ""},
      {"the rest written, not closed", [&] { write(4, 100, 256); }, -1, ""},
      {"closed", [&] { close(fd); }, 4, ""},
      {"deleted", [&] { unlink(save.c_str()); }, -1, "is gone"},
      {"written anew", [&] { WriteFile(save, saves[5]); }, 5, ""},
      {"a link renamed over it", link, -1, "symbolic link"},
      {"another link: told once", link, -1, ""},
      {"a FIFO renamed over it", [&] { over([&] { mkfifo(fresh.c_str(), 0600); }); }, -1, "not a regular file"},
      {"the game saves again", [&] { over([&] { WriteFile(fresh, saves[6]); }); }, 6, ""},
      {"the folder removed", [&] { std::filesystem::remove_all(Path("game")); }, -1, "the watch has ended"},
  };
  std::vector<std::unique_ptr<TByteSource>> kept;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    row.Change();
    TPolledVersion polled = watch.Poll();
    ASSERT_EQ(polled.Source != nullptr, row.Kept >= 0);
    EXPECT_TRUE(*row.Problem ? polled.Problem.find(row.Problem) != std::string::npos : polled.Problem.empty()) << polled.Problem;
    EXPECT_EQ(polled.Ended, row.What == rows[std::size(rows) - 1].What);
    if (!polled.Source) continue;
    EXPECT_TRUE(polled.Caption.starts_with("save.dat, version " + std::to_string(row.Kept + 1) + " (")) << polled.Caption;
    kept.push_back(std::move(polled.Source));
  }
  // Each version reads as it was kept, whatever the game wrote later; the
  // private copies go with their snapshots.
  ASSERT_EQ(kept.size(), saves.size());
  for (size_t k = 0; k < kept.size(); ++k) {
    Bytes b(static_cast<size_t>(kept[k]->Size()));
    kept[k]->Read(b.data(), 0, kept[k]->Size());
    EXPECT_EQ(b, saves[k]) << k;
  }
  EXPECT_EQ(CountCopies(), 7);
  kept.clear();
  EXPECT_EQ(CountCopies(), 0);
  EXPECT_THROW(TVersionWatch watch(save), EFileError);  // nothing to watch
}

}  // namespace
}  // namespace byteloom::test
