// The page canvas over Qt: draws with a QPainter on a printer or an image, or
// only measures text for a paint device (counting pages without drawing).
#pragma once

#include <QFont>
#include <QFontMetrics>

#include <optional>

#include "output/dumpformat.h"

class QPainter;
class QPaintDevice;

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

}  // namespace byteloom
