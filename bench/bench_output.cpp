// Export and print of dumps on the 64 MiB document bench/run makes
// (data64.bin, the data file's first 64 MiB): the whole document exported
// with the defaults (peer: xxd on the same file), and a 1 MiB range printed
// to a PDF (peer: none; built into the benchmark program with the Qt layer).
#include <cstdio>
#include <stdexcept>
#include <string>

#include "bench/bench.h"
#include "bench/benchhost.h"
#include "output/dumpformat.h"

#ifdef BYTELOOM_BENCH_UI
#include <QApplication>
#include <QPainter>
#include <QPrinter>

#include "output/pagecanvas.h"
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
