#include "editor/filebookmarks.h"

#include <algorithm>

namespace byteloom {

namespace {

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
  }
  return out;
}

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
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::vector<std::string> f = SplitTabs(text.substr(start, end - start));
    start = end + 1;
    if (f.size() != 4 || f[1].size() != 1 || f[1][0] < '1' || f[1][0] > '5') continue;
    const std::string path = Unescape(f[0]);
    auto it = std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Path == path; });
    if (it == FEntries.end()) it = FEntries.insert(FEntries.end(), TEntry{path, {}});
    it->Rows[static_cast<size_t>(f[1][0] - '1')] = {Unescape(f[2]), Unescape(f[3])};
  }
}

std::string TBookmarkStore::Text() const {
  std::string out;
  for (const TEntry& e : FEntries)
    for (size_t r = 0; r < e.Rows.size(); ++r)
      if (!e.Rows[r][0].empty())
        out += Escape(e.Path) + "\t" + std::to_string(r + 1) + "\t" + Escape(e.Rows[r][0]) + "\t" + Escape(e.Rows[r][1]) + "\n";
  return out;
}

void TBookmarkStore::Remember(const std::string& path, const TBookmarkTable& table) {
  std::erase_if(FEntries, [&](const TEntry& e) { return e.Path == path; });
  TEntry entry{path, {}};
  bool any = false;
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row) {
    if (!table.IsSet(row)) continue;
    entry.Rows[static_cast<size_t>(row - 1)] = {table.Cell(0, row), table.Cell(1, row)};
    any = true;
  }
  if (!any) return;
  FEntries.push_back(std::move(entry));
  if (FEntries.size() > kMaxFiles) FEntries.erase(FEntries.begin());
}

bool TBookmarkStore::Has(const std::string& path) const {
  return std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Path == path; });
}

bool TBookmarkStore::Recall(const std::string& path, TBookmarkTable& table) const {
  const auto it = std::find_if(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Path == path; });
  if (it == FEntries.end()) return false;
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row)
    for (int col = 0; col < TBookmarkTable::kCols; ++col)
      table.SetCell(col, row, it->Rows[static_cast<size_t>(row - 1)][static_cast<size_t>(col)]);
  return true;
}

}  // namespace byteloom
