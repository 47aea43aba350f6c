// SPDX-License-Identifier: GPL-3.0-or-later
// Export and print of dumps on the 64 MiB document bench/run makes
// (data64.bin, the data file's first 64 MiB): the whole document exported
// with the defaults (peer: xxd on the same file), and a 1 MiB range printed
// to a PDF (peer: none; built into the benchmark program with the Qt layer).
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/benchhost.h"
#include "control/findall.h"
#include "output/dumpformat.h"

#ifdef BYTELOOM_BENCH_UI
#include <QApplication>
#include <QPainter>
#include <QPrinter>

#include "output/ui/pagecanvas.h"
#endif

namespace byteloom::bench {

namespace {

// The 64 MiB document, open in a control.
struct TDocument {
  explicit TDocument(const TBenchContext& ctx) {
    editor.Loaded();
    if (!editor.LoadFromFile(ctx.WorkDir + "/data64.bin")) throw std::runtime_error(editor.LastError());
  }
  TBenchHost host;
  THexEditor editor{host};
};

TRegister exportAll("export", [](const TBenchContext& ctx) {
  TDocument doc(ctx);
  const std::string target = ctx.WorkDir + "/export.txt";
  const double t0 = Now();
  ExportDump(doc.editor, DumpRange(0, doc.editor.DataSize() - 1), ExportStyle(true, true, true), target);
  const double seconds = Now() - t0;
  std::remove(target.c_str());
  return seconds;
});

// The whole document as an xxd dump (peer: xxd on the same file).
TRegister exportXxd("export_xxd", [](const TBenchContext& ctx) {
  TDocument doc(ctx);
  const std::string target = ctx.WorkDir + "/export.txt";
  const double t0 = Now();
  ExportFormatted(doc.editor, TByteFormat::bfXxd, 0, doc.editor.DataSize() - 1, target);
  const double seconds = Now() - t0;
  std::remove(target.c_str());
  return seconds;
});

// Find All of a 3-byte text, every hit written as grep -o -b lists it
// ("offset:text"; peer: LC_ALL=C grep -a -o -b -F on the same file).
TRegister findAll("find_all", [](const TBenchContext& ctx) {
  TDocument doc(ctx);
  const std::string text = "Q7z";
  const double t0 = Now();
  std::vector<int64_t> hits;
  FindAll(doc.editor, TextPattern(text, true), 0, doc.editor.DataSize() - 1, hits);
  std::string list;
  for (int64_t h : hits) list += std::to_string(h) + ":" + text + "\n";
  FILE* f = std::fopen((ctx.WorkDir + "/find_all_hits.txt").c_str(), "w");
  if (f == nullptr || std::fwrite(list.data(), 1, list.size(), f) != list.size() || std::fclose(f) != 0)
    throw std::runtime_error("cannot write the hits");
  return Now() - t0;
});

#ifdef BYTELOOM_BENCH_UI
TRegister printPdf("print_pdf", [](const TBenchContext& ctx) {
  static int argc = 1;
  static char name[] = "byteloom_bench";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  TDocument doc(ctx);
  const std::string target = ctx.WorkDir + "/print.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setResolution(600);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(target));
  const TPageJob job{"data64.bin", "www.velmora-soft.example", DumpRange(0, (1 << 20) - 1)};
  TQtPageCanvas measure(nullptr, &printer);
  TDumpReader counter(doc.editor);
  const int counted = DrawDumpPages(measure, printer.width(), printer.height(), job, counter, TPageMode::pmCount);
  const double t0 = Now();
  QPainter painter(&printer);
  TQtPageCanvas canvas(&painter, &printer, [&printer] { return printer.newPage(); });
  TDumpReader reader(doc.editor);
  const int pages = DrawDumpPages(canvas, printer.width(), printer.height(), job, reader, TPageMode::pmPrint);
  painter.end();
  const double seconds = Now() - t0;
  std::remove(target.c_str());
  if (pages != counted || pages < 700) throw std::runtime_error("printed " + std::to_string(pages) + " pages");
  return seconds;
});
#endif

}  // namespace

}  // namespace byteloom::bench
