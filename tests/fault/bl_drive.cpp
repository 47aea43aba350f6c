// SPDX-License-Identifier: GPL-3.0-or-later
// A headless driver of the control for the fault suite: reads a script of
// operations (one per line, from the file given or standard input) and
// prints each result on a line of its own. Not a product: a test executable.
//
//   open FILE | new | change POS HEX | insert POS HEX.. | insertfill POS COUNT HEX
//   append HEX.. | delete POS COUNT | replace POS COUNT HEX.. | nibble POS | undo | redo
//   replaceall N HEX.. (the first N bytes are the pattern, the rest its replacement)
//   save [FILE] | saveas FILE
//   export dump|xxd|ihex|srec|base64|carray FROM TO FILE (a text dump or a formatted export)
//   write FILE TEXT (written atomically, as the bookmark store is)
//   answer yes|no (the answer to a backup or restore question) | info | dump | recover
//   hold (prints "holding" and waits to be killed)
//   recall (the open file's kept bookmarks: "ok N") | keep POS [COMMENT]
//   settings (the check of the settings file made at the program's start)
//   restore FILE (File > Restore; a question is answered as set by "answer")
// A store that cannot be used is reported on a line "report MESSAGE" (once
// per run, as the program shows it).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "control/hexeditor.h"
#include "editor/filebookmarks.h"
#include "editor/keptmarks.h"
#include "output/dumpformat.h"
#include "platform/platform.h"
#include "platform/store.h"
#include "shell/restore.h"
#include "tests/support/docbytes.h"
#include "tests/support/fakehost.h"

using namespace byteloom;

namespace {

std::vector<uint8_t> HexBytes(std::istringstream& in) {
  std::vector<uint8_t> out;
  for (std::string h; in >> h;) out.push_back(static_cast<uint8_t>(std::stoul(h, nullptr, 16)));
  return out;
}

std::string Info(THexEditor& ed) {
  std::ostringstream s;
  s << "size=" << ed.DataSize() << " modified=" << ed.Modified() << " undo=" << ed.UndoCount()
    << " file=" << ed.FileName();
  return s.str();
}

TByteFormat ExportFormat(const std::string& name) {
  static const std::pair<const char*, TByteFormat> kNames[] = {
      {"xxd", TByteFormat::bfXxd},       {"ihex", TByteFormat::bfIntelHex}, {"srec", TByteFormat::bfSRecord},
      {"base64", TByteFormat::bfBase64}, {"carray", TByteFormat::bfCArray}};
  for (const auto& [text, format] : kNames)
    if (name == text) return format;
  throw std::runtime_error("unknown export format " + name);
}

}  // namespace

int main(int argc, char** argv) {
  // A line per result as it comes: a trace shows where each operation ends.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::ifstream file;
  if (argc > 1) file.open(argv[1]);
  std::istream& script = argc > 1 ? static_cast<std::istream&>(file) : std::cin;
  test::TFakeHost host;
  THexEditor ed(host);
  host.Target = &ed;
  ed.Loaded();
  ed.SetClientSize(800, 600);
  bool answer = false;
  ed.OnConfirmBackupReplace = [&](const std::string& q) {
    std::printf("question %s -> %s\n", q.c_str(), answer ? "yes" : "no");
    return answer;
  };
  SetStoreProblemSink([](const std::string& message) {
    std::printf("report %s\n", message.c_str());
    std::fflush(stdout);
  });
  for (std::string line; std::getline(script, line);) {
    std::istringstream in(line);
    std::string op;
    if (!(in >> op) || op[0] == '#') continue;
    std::string result = "ok";
    try {
      if (op == "open") {
        std::string name;
        std::getline(in >> std::ws, name);
        if (!ed.LoadFromFile(name)) result = "error " + ed.LastError();
      } else if (op == "new") {
        ed.CreateEmptyFile("Untitled");
      } else if (op == "change") {
        int64_t pos;
        std::string hex;
        in >> pos >> hex;
        ed.ChangeByte(ed.ReadByte(pos), static_cast<uint8_t>(std::stoul(hex, nullptr, 16)), 0, 2, pos);
      } else if (op == "insert" || op == "insertfill") {
        int64_t pos, count = 0;
        in >> pos;
        if (op == "insertfill") in >> count;
        std::vector<uint8_t> data = HexBytes(in);
        if (op == "insertfill") data.assign(static_cast<size_t>(count), data.empty() ? 0 : data[0]);
        ed.InsertBuffer(data.data(), static_cast<int32_t>(data.size()), pos);
      } else if (op == "append") {
        const std::vector<uint8_t> data = HexBytes(in);
        ed.AppendBuffer(data.data(), static_cast<int32_t>(data.size()));
      } else if (op == "delete" || op == "replace") {
        int64_t pos, count;
        in >> pos >> count;
        ed.SetSelStart(pos);
        ed.SetSelEnd(pos + count - 1);
        const std::vector<uint8_t> data = HexBytes(in);
        if (op == "delete") ed.DeleteSelection();
        else ed.ReplaceSelection(data.data(), static_cast<int32_t>(data.size()));
      } else if (op == "nibble") {
        int64_t pos;
        in >> pos;
        if (!ed.InsertNibble(pos, true)) result = "error refused";
      } else if (op == "replaceall") {
        size_t n;
        in >> n;
        std::vector<uint8_t> both = HexBytes(in);
        const auto count = static_cast<int32_t>(std::min(n, both.size()));
        const int32_t first = ed.Find(both.data(), count, false, false, ed.DataSize() - 1, 0);
        if (first >= 0)
          result = "ok " + std::to_string(ed.ReplaceAll(both.data(), count, false, first, both.data() + count,
                                                           static_cast<int32_t>(both.size()) - count));
      } else if (op == "undo") {
        ed.Undo();
      } else if (op == "redo") {
        ed.Redo();
      } else if (op == "save" || op == "saveas") {
        std::string name;
        std::getline(in >> std::ws, name);
        if (name.empty()) name = ed.FileName();
        if (!ed.SaveToFile(name))
          result = "error " + ed.LastError();
        else if (!ed.LastWarning().empty())
          result = "ok warning " + ed.LastWarning();
      } else if (op == "export") {
        std::string format, name;
        int32_t from, to;
        in >> format >> from >> to;
        std::getline(in >> std::ws, name);
        const TExportOutcome outcome =
            format == "dump" ? ExportDump(ed, DumpRange(from, to), ExportStyle(true, false, false), name)
                             : ExportFormatted(ed, ExportFormat(format), from, to, name);
        if (!outcome.Warning.empty()) result = "ok warning " + outcome.Warning;
      } else if (op == "write") {
        std::string name, text;
        in >> name;
        std::getline(in >> std::ws, text);
        const std::string warning = WriteFileAtomically(name, text + "\n", false);
        if (!warning.empty()) result = "ok warning " + warning;
      } else if (op == "answer") {
        std::string a;
        in >> a;
        answer = a == "yes";
      } else if (op == "info") {
        result = "ok " + Info(ed);
      } else if (op == "dump") {
        const std::vector<uint8_t> bytes = test::DocumentBytes(ed);
        result = "ok";
        char buf[4];
        for (uint8_t b : bytes) {
          std::snprintf(buf, sizeof buf, " %02X", b);
          result += buf;
        }
      } else if (op == "recover") {
        const auto found = FindRecoverable();
        if (found.empty()) {
          result = "ok nothing";
        } else {
          std::printf("question %s\n", RecoverQuestion(found[0]).c_str());
          result = ed.LoadRecovered(found[0]) ? "ok " + Info(ed) : "error " + ed.LastError();
        }
      } else if (op == "recall") {
        result = "ok " + std::to_string(LoadKeptBookmarks().Marks(KeptBookmarkKey(ed)).size());
      } else if (op == "keep") {
        TBookmark mark;
        in >> mark.Offset;
        std::getline(in >> std::ws, mark.Comment);
        ChangeKeptBookmarks([&](TBookmarkStore& s) { s.Keep(KeptBookmarkKey(ed), mark); });
      } else if (op == "settings") {
        const std::string problem = SettingsStoreProblem();
        if (!problem.empty()) {
          ReportStoreProblem(problem);
          result = "ok unusable";
        }
      } else if (op == "restore") {
        std::string name;
        std::getline(in >> std::ws, name);
        TRestoreResult restored = RestoreFromBackup(name);
        if (restored.Status == TRestoreStatus::rsOtherOwner) {
          std::printf("question %s -> %s\n", restored.Message(name, false).c_str(), answer ? "yes" : "no");
          if (answer) restored = RestoreFromBackup(name, true);
        }
        if (restored.Status == TRestoreStatus::rsRestored) result = "ok restored";
        else if (restored.Status == TRestoreStatus::rsOtherOwner) result = "ok declined";
        else {
          result = "error " + restored.Message(name, false);
          for (size_t at; (at = result.find("\r\n")) != std::string::npos;) result.replace(at, 2, " ");
        }
      } else if (op == "hold") {
        std::printf("holding\n");
        std::fflush(stdout);
        for (;;) pause();
      } else {
        result = "error unknown operation " + op;
      }
    } catch (const std::exception& e) {
      result = std::string("error ") + e.what();
    }
    std::printf("%s: %s\n", op.c_str(), result.c_str());
    std::fflush(stdout);
  }
  return 0;
}
