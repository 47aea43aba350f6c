// SPDX-License-Identifier: GPL-3.0-or-later
// The list of recently opened files.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "shell/recentfiles.h"

namespace byteloom {
namespace {

TRecentFiles Open(std::initializer_list<const char*> names, TRecentFiles slots = {}) {
  for (const char* name : names) AddRecentFile(slots, name);
  return slots;
}

TRecentFiles List(std::initializer_list<const char*> names) {
  TRecentFiles slots;
  size_t i = 0;
  for (const char* name : names) slots[i++] = name;
  return slots;
}

TEST(RecentFiles, NamesAreAppendedWhileASlotIsFree) {
  EXPECT_EQ(Open({"a"}), List({"a"}));
  EXPECT_EQ(Open({"a", "b", "c"}), List({"a", "b", "c"}));
  EXPECT_EQ(Open({"a", "a"}), List({"a", "a"}));
}

TEST(RecentFiles, TheFifthNameGoesToTheTop) {
  EXPECT_EQ(Open({"a", "b", "c", "d", "e"}), List({"e", "b", "c", "d", "a"}));
}

TEST(RecentFiles, AFullListPushesNewNamesInAndSwapsListedOnes) {
  TRecentFiles slots = Open({"a", "b", "c", "d", "e"});
  slots = Open({"f"}, slots);
  EXPECT_EQ(slots, List({"f", "e", "b", "c", "d"}));
  slots = Open({"c"}, slots);
  EXPECT_EQ(slots, List({"c", "e", "b", "f", "d"}));
  slots = Open({"c"}, slots);
  EXPECT_EQ(slots, List({"c", "e", "b", "f", "d"}));
  slots = Open({"d"}, slots);
  EXPECT_EQ(slots, List({"d", "e", "b", "f", "c"}));
}

TEST(RecentFiles, LetterCaseMatters) {
  TRecentFiles slots = Open({"a", "b", "c", "d", "e"});
  slots = Open({"B"}, slots);
  EXPECT_EQ(slots, List({"B", "e", "b", "c", "d"}));
}

}  // namespace
}  // namespace byteloom
