// SPDX-License-Identifier: GPL-3.0-or-later
// TQtCanvas: the control's drawing surface over a QPainter.
//
// Cells are drawn in runs: a cell of one character whose glyph stays inside
// the cell is collected, and what was collected is drawn at once when
// something else is drawn or the canvas ends: the backgrounds merged into as
// few rectangles as possible, then the glyphs of one colour and font as one
// glyph run. The glyphs of the 256 character codes are shaped once per font.
// The result is the same pixels as filling and writing every cell on its own
// in order (which is what the canvas does without runs): a glyph that reaches
// out of its cell, text of several characters, or a character that drawText
// draws differently from its plain glyph is drawn that way, in its turn.
#pragma once

#include <QColor>
#include <QPainter>
#include <QPointF>
#include <QRect>
#include <QString>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "control/canvas.h"

namespace byteloom {

class TGlyphSet;

class TQtCanvas final : public TCanvas {
 public:
  TQtCanvas(QPainter& painter, bool runs = true);
  ~TQtCanvas() override;
  TQtCanvas(const TQtCanvas&) = delete;
  TQtCanvas& operator=(const TQtCanvas&) = delete;

  // Draws what has been collected.
  void Flush();

  // A cell of one character whose glyph stays inside it is collected;
  // anything else draws what was collected first.
  void TextRectOpaque(const TRect& rect, int x, int y, const std::string& text) override;
  void FillRect(const TRect& rect) override;
  void FrameRect(const TRect& rect) override;
  void DrawFocusRect(const TRect& rect) override;
  void Line(int x1, int y1, int x2, int y2) override;
  // Shapes the glyphs of a new face on its first use in the program.
  void SetFont(const TFont& font) override;
  const TFont& Font() const override { return FFont; }
  void SetTextColor(TColor c) override { FFont.Color = c; }
  void SetBrushColor(TColor c) override { FBrush = c; }
  void SetPenColor(TColor c) override { FPen = c; }

 private:
  // Fills rect and writes text in it, clipped to it where it does not fit.
  void DrawCellAlone(const TRect& rect, int x, int y, const std::string& text);
  void CollectFill(const QRect& r, TColor color);
  void FlushFills();
  void FlushGlyphs();

  struct TFill {
    QRect Rect;
    TColor Color;
  };
  struct TGlyphBatch {
    TColor Color;
    const TGlyphSet* Set;
    std::vector<quint32> Indexes;
    std::vector<QPointF> Positions;
  };

  QPainter& FPainter;
  const bool FRuns;
  TFont FFont;
  bool FHaveFont = false;
  TColor FBrush = 0;
  TColor FPen = 0;
  // The current font's glyphs and metrics.
  std::shared_ptr<const TGlyphSet> FGlyphs;
  int FAscent = 0;
  // Collected cells: background rectangles in painting order, glyphs by colour.
  std::vector<TFill> FFills;
  std::vector<TFill> FMerged;
  std::vector<TGlyphBatch> FBatches;
  size_t FBatchesUsed = 0;
  // Fonts whose glyphs are collected (kept alive until drawn).
  std::vector<std::shared_ptr<const TGlyphSet>> FSetsInUse;
};

}  // namespace byteloom
