// SPDX-License-Identifier: GPL-3.0-or-later
// The page canvas over Qt: draws with a QPainter on a printer or an image, or
// only measures text for a paint device (counting pages without drawing).
#pragma once

#include <QFont>
#include <QFontMetrics>

#include <memory>
#include <optional>

#include "output/dumpformat.h"

#include "platform/platform.h"

class QPainter;
class QPaintDevice;
class QPrinter;

namespace byteloom {

class TQtPageCanvas final : public TPageCanvas {
 public:
  // Draws with painter (on its device); without one it only measures for device.
  TQtPageCanvas(QPainter* painter, QPaintDevice* device, std::function<bool()> newPage = {});

  void SetFont(const TPageFont& font) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  int MaxCharWidth() override;
  void TextOut(int x, int y, const std::string& text) override;
  void ClearPage(const TRect& page) override;
  bool NewPage() override;

 private:
  QPainter* FPainter;
  QPaintDevice* FDevice;
  std::function<bool()> FNewPage;
  QFont FFont;
  std::optional<QFontMetrics> FMetrics;
};

// A print to a file (PDF) as one step: the printer writes a new file beside
// the chosen one (a name without an extension gets ".pdf", and the printer
// keeps that name), which Commit renames over it once it is complete; a
// cancelled or failed print removes the new file and leaves an existing one
// as it was. Printing to a printer passes through untouched. Qt's PDF writer
// stays broken after a failed write, so a failed print leaves a fresh
// printer with the same settings. Raises EFileError. Commit returns a
// warning when the new file is in place but a step after its publishing
// rename failed (empty when there is none).
class TPrintFile {
 public:
  explicit TPrintFile(std::unique_ptr<QPrinter>& printer);
  ~TPrintFile();
  std::string Commit();
  // The file printed to (empty: a printer).
  const QString& Chosen() const { return FChosen; }

 private:
  std::unique_ptr<QPrinter>& FPrinter;
  QString FChosen;
  std::optional<TFileReplacement> FFile;
  bool FFailed = false;
};

}  // namespace byteloom
