// SPDX-License-Identifier: GPL-3.0-or-later
// TCanvas: the drawing surface the grid paints on. Toolkit-free; the Qt host
// implements it over a QPainter, tests record what is drawn.
//
// Colours given to a canvas are plain RGB values 0x00BBGGRR (system colours
// are resolved by the caller). Text is a string of Windows-1252 codes.
#pragma once

#include <string>

#include "control/types.h"

namespace byteloom {

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  // The font text is drawn in. Its colour is the text colour.
  virtual void SetFont(const TFont& font) = 0;
  virtual const TFont& Font() const = 0;
  // Changes the colour of the font only.
  virtual void SetTextColor(TColor c) = 0;
  // The brush: the colour FillRect and the background of opaque text use.
  virtual void SetBrushColor(TColor c) = 0;
  // The pen: the colour of lines and rectangle outlines (one pixel wide).
  virtual void SetPenColor(TColor c) = 0;

  // Fills rect with the brush colour, then writes text with its top-left
  // corner at (x, y), clipped to rect.
  virtual void TextRectOpaque(const TRect& rect, int x, int y, const std::string& text) = 0;
  virtual void FillRect(const TRect& rect) = 0;
  // The outline of rect in the pen colour, the inside left as it is: the
  // pixels of its left and top edges and those just inside its right and
  // bottom edges.
  virtual void FrameRect(const TRect& rect) = 0;
  // The outline of rect (as FrameRect) as a dotted line that inverts the
  // pixels under it, so drawing it twice removes it.
  virtual void DrawFocusRect(const TRect& rect) = 0;
  // A line in the pen colour from (x1, y1) to (x2, y2), both ends included;
  // only horizontal and vertical lines are drawn by the grid.
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
};

// The point size of a font of the given height (a negative height is the
// character height in pixels) on a 96 dpi screen, and back.
int FontSizeFromHeight(int height);
int FontHeightFromSize(int size);

// Rounds value / divisor to the nearest whole number, halves to the even
// neighbour (divisor > 0).
int DivRoundHalfEven(int value, int divisor);

}  // namespace byteloom
