// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/filebookmarks.h"

#include <algorithm>

#include "platform/store.h"

namespace byteloom {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == '\t') fields.emplace_back();
    else fields.back() += c;
  }
  return fields;
}

}  // namespace

void TBookmarkStore::Parse(const std::string& text) {
  FEntries.clear();
  FOther.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    std::vector<std::string> f = SplitTabs(line);
    start = end + 1;
    // Lines of an earlier form carried a row number (1..5) after the path.
    if (f.size() == 4 && f[1].size() == 1 && f[1][0] >= '1' && f[1][0] <= '5') f.erase(f.begin() + 1);
    if (f.size() != 3 || f[0].empty() || f[1].empty()) {
      if (!line.empty()) FOther += line + "\n";
      continue;
    }
    const std::string path = UnescapeStoreText(f[0]);
    auto it = Find(path);
    if (it == FEntries.end()) it = FEntries.insert(FEntries.end(), TEntry{path, {}});
    it->Marks.push_back({UnescapeStoreText(f[1]), UnescapeStoreText(f[2])});
  }
}

std::string TBookmarkStore::Text() const {
  std::string out = FOther;
  for (const TEntry& e : FEntries)
    for (const TBookmark& m : e.Marks) out += EscapeStoreText(e.Path) + "\t" + EscapeStoreText(m.Offset) + "\t" + EscapeStoreText(m.Comment) + "\n";
  return out;
}

std::vector<TBookmarkStore::TEntry>::iterator TBookmarkStore::Find(const std::string& path) {
  return std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Path == path; });
}

std::vector<TBookmark> TBookmarkStore::Marks(const std::string& path) const {
  for (const TEntry& e : FEntries)
    if (e.Path == path) return e.Marks;
  return {};
}

void TBookmarkStore::Keep(const std::string& path, const TBookmark& mark) {
  if (path.empty() || mark.Offset.empty()) return;
  auto it = Find(path);
  TEntry entry = it == FEntries.end() ? TEntry{path, {}} : std::move(*it);
  if (it != FEntries.end()) FEntries.erase(it);
  if (std::find(entry.Marks.begin(), entry.Marks.end(), mark) == entry.Marks.end()) entry.Marks.push_back(mark);
  if (entry.Marks.size() > kMaxPerFile) entry.Marks.erase(entry.Marks.begin());
  FEntries.push_back(std::move(entry));
  if (FEntries.size() > kMaxFiles) FEntries.erase(FEntries.begin());
}

void TBookmarkStore::Forget(const std::string& path, const TBookmark& mark) {
  const auto it = Find(path);
  if (it == FEntries.end()) return;
  std::erase(it->Marks, mark);
  if (it->Marks.empty()) FEntries.erase(it);
}

namespace {
TBookmark RowMark(const TBookmarkTable& table, int row) { return {table.Cell(0, row), table.Cell(1, row)}; }
}  // namespace

int TBookmarkStore::Recall(const std::string& path, TBookmarkTable& table) const {
  int unshown = 0;
  for (const TBookmark& mark : Marks(path)) {
    int free = 0, other = 0;
    bool shown = false;
    for (int row = 1; row <= TBookmarkTable::kBookmarks && !shown; ++row) {
      shown = table.IsSet(row) && RowMark(table, row) == mark;
      if (!table.IsSet(row) && free == 0) free = row;
      const std::string& owner = table.Owner(row);
      if (table.IsSet(row) && other == 0 && !owner.empty() && owner != path) other = row;
    }
    if (shown) continue;
    const int row = free != 0 ? free : other;
    if (row == 0) {
      ++unshown;
      continue;
    }
    table.SetCell(0, row, mark.Offset);
    table.SetCell(1, row, mark.Comment);
    table.SetOwner(row, path);
  }
  return unshown;
}

int AddKeptBookmark(TBookmarkTable& table, TBookmarkStore& store, int64_t pos, const std::string& owner) {
  const int row = table.Add(pos, owner);
  if (row != 0) store.Keep(owner, RowMark(table, row));
  return row;
}

void AddBookmark(TBookmarkTable& table, TBookmarkStore& store, TBookmarkMenu& menu, int64_t caretPos,
                 const std::string& owner) {
  AddKeptBookmark(table, store, caretPos, owner);
  menu.EditEnabled = EditBookmarkEnabled(table, menu);
}

void EditKeptBookmark(TBookmarkTable& table, TBookmarkStore& store, int col, int row, const std::string& text,
                      const std::string& editor) {
  const bool bookmark = row >= 1 && row <= TBookmarkTable::kBookmarks;
  if (bookmark && table.IsSet(row)) store.Forget(table.Owner(row), RowMark(table, row));
  table.SetCell(col, row, text);
  if (!bookmark) return;
  if (!table.IsSet(row)) {
    table.SetOwner(row, {});
    return;
  }
  if (table.Owner(row).empty()) table.SetOwner(row, editor);
  store.Keep(table.Owner(row), RowMark(table, row));
}

int ApplyBookmarks(TBookmarkTable& table, TBookmarkStore& store, const std::string& target) {
  int kept = 0;
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row) {
    if (!table.IsSet(row)) continue;
    if (table.Owner(row).empty()) table.SetOwner(row, target);
    store.Keep(target, RowMark(table, row));
    ++kept;
  }
  return kept;
}

}  // namespace byteloom
