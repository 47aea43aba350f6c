// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qtcanvas.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPaintDevice>
#include <QPen>
#include <QRawFont>

#include <array>
#include <cmath>

#include "platform/codepages.h"
#include "ui/qhexeditor.h"

namespace byteloom {

// The glyphs of the 256 character codes in one font at one pixel ratio.
class TGlyphSet {
 public:
  enum class TKind : uint8_t {
    gkBlank,  // drawText draws nothing
    gkGlyph,  // drawText draws exactly the font's glyph Index, ink inside Ink
    gkAlone   // anything else: drawn with drawText
  };
  struct TGlyph {
    TKind Kind = TKind::gkAlone;
    quint32 Index = 0;
    QRect Ink;  // the pixels touched, relative to the text's top-left corner
  };

  TGlyphSet(const QFont& font, qreal ratio);
  const TGlyph& Get(uint8_t code) const { return FGlyphs[code]; }
  const QRawFont& RawFont() const { return FRaw; }

  // The set of a font, shaped on first use and kept.
  static std::shared_ptr<const TGlyphSet> For(const QFont& font, qreal ratio);

 private:
  QRawFont FRaw;
  std::array<TGlyph, 256> FGlyphs;
};

namespace {

// The pixels of image that differ from white, in logical pixels relative to origin.
QRect InkBox(const QImage& image, QPoint origin) {
  const qreal ratio = image.devicePixelRatio();
  int left = image.width(), top = image.height(), right = -1, bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (line[x] == 0xFFFFFFFFu) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  const int l = static_cast<int>(std::floor(left / ratio)), t = static_cast<int>(std::floor(top / ratio));
  const int r = static_cast<int>(std::ceil((right + 1) / ratio)), b = static_cast<int>(std::ceil((bottom + 1) / ratio));
  return QRect(QPoint(l, t) - origin, QPoint(r - 1, b - 1) - origin);
}

}  // namespace

TGlyphSet::TGlyphSet(const QFont& font, qreal ratio) : FRaw(QRawFont::fromFont(font)) {
  const QFontMetrics metrics(font);
  const int ascent = metrics.ascent();
  // Each character is written on a white page with room around it, once
  // with drawText and once as its glyph, on both kinds of surface a window
  // paints on (with and without alpha: their text antialiasing may differ).
  const int margin = metrics.height();
  const QSize page(4 * metrics.height() + 2 * margin, metrics.height() + 2 * margin);
  const QPoint origin(margin, margin);
  const std::array<QImage::Format, 2> formats{QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied};
  auto blank = [&](QImage::Format format) {
    QImage image(page * ratio, format);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    return image;
  };
  for (int code = 0; code < 256; ++code) {
    TGlyph& glyph = FGlyphs[static_cast<size_t>(code)];
    const QString text(QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<uint8_t>(code)))));
    const QList<quint32> indexes = FRaw.isValid() ? FRaw.glyphIndexesForString(text) : QList<quint32>{};
    const bool candidate = indexes.size() == 1 && indexes[0] != 0;
    bool same = candidate;
    QRect ink;
    for (const QImage::Format format : formats) {
      QImage written = blank(format);
      {
        QPainter p(&written);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(origin + QPoint(0, ascent), text);
      }
      ink |= InkBox(written, origin);
      if (!same) continue;
      QImage drawn = blank(format);
      {
        QPainter p(&drawn);
        p.setPen(Qt::black);
        QGlyphRun run;
        run.setRawFont(FRaw);
        const QPointF position = origin + QPoint(0, ascent);
        run.setRawData(&indexes[0], &position, 1);
        p.drawGlyphRun(QPointF(0, 0), run);
      }
      same = drawn == written;
    }
    // Ink at the page's edge may go further than the page shows: then all
    // the page counts as ink, which no cell holds.
    const bool contained = QRect(-origin, page).adjusted(1, 1, -1, -1).contains(ink);
    glyph.Ink = contained || ink.isNull() ? ink : QRect(-origin, page);
    if (ink.isNull())
      glyph.Kind = TKind::gkBlank;
    else if (same && contained)
      glyph.Kind = TKind::gkGlyph;
    glyph.Index = candidate ? indexes[0] : 0;
  }
}

std::shared_ptr<const TGlyphSet> TGlyphSet::For(const QFont& font, qreal ratio) {
  struct TEntry {
    QString Key;
    qreal Ratio;
    std::shared_ptr<const TGlyphSet> Set;
  };
  static std::vector<TEntry> cache;
  const QString key = font.key();
  for (const TEntry& e : cache)
    if (e.Ratio == ratio && e.Key == key) return e.Set;
  if (cache.size() >= 16) cache.clear();
  cache.push_back({key, ratio, std::make_shared<const TGlyphSet>(font, ratio)});
  return cache.back().Set;
}

// ---------------------------------------------------------------------------

TQtCanvas::TQtCanvas(QPainter& painter, bool runs) : FPainter(painter), FRuns(runs) {}

TQtCanvas::~TQtCanvas() { Flush(); }

void TQtCanvas::SetFont(const TFont& font) {
  const bool sameFace = font.Name == FFont.Name && font.Height == FFont.Height && font.Size == FFont.Size;
  FFont = font;
  if (sameFace && FHaveFont) return;
  const QFont face = HexEditorWidget::ResolveFont(font);
  FPainter.setFont(face);
  const QFontMetrics metrics = FPainter.fontMetrics();
  FAscent = metrics.ascent();
  // Both ways of painting know each glyph's ink: a cell's text is clipped
  // the same way whether it is collected or drawn alone.
  FGlyphs = TGlyphSet::For(face, FPainter.device() ? FPainter.device()->devicePixelRatio() : 1.0);
  FHaveFont = true;
}

void TQtCanvas::TextRectOpaque(const TRect& rect, int x, int y, const std::string& text) {
  const QRect r(rect.Left, rect.Top, rect.Width(), rect.Height());
  if (r.isEmpty()) return;
  if (FRuns && FGlyphs && text.size() == 1 && x == rect.Left && y == rect.Top) {
    const TGlyphSet::TGlyph& glyph = FGlyphs->Get(static_cast<uint8_t>(text[0]));
    if (glyph.Kind == TGlyphSet::TKind::gkBlank) {
      CollectFill(r, FBrush);
      return;
    }
    if (glyph.Kind == TGlyphSet::TKind::gkGlyph && QRect(0, 0, r.width(), r.height()).contains(glyph.Ink)) {
      CollectFill(r, FBrush);
      size_t b = 0;
      while (b < FBatchesUsed && (FBatches[b].Color != FFont.Color || FBatches[b].Set != FGlyphs.get())) ++b;
      if (b == FBatchesUsed) {
        if (b == FBatches.size()) FBatches.emplace_back();
        FBatches[b].Color = FFont.Color;
        FBatches[b].Set = FGlyphs.get();
        ++FBatchesUsed;
        if (std::find(FSetsInUse.begin(), FSetsInUse.end(), FGlyphs) == FSetsInUse.end()) FSetsInUse.push_back(FGlyphs);
      }
      FBatches[b].Indexes.push_back(glyph.Index);
      FBatches[b].Positions.push_back(QPointF(x, y + FAscent));
      return;
    }
  }
  Flush();
  DrawCellAlone(rect, x, y, text);
}

void TQtCanvas::DrawCellAlone(const TRect& rect, int x, int y, const std::string& text) {
  const QRect r(rect.Left, rect.Top, rect.Width(), rect.Height());
  FPainter.fillRect(r, HexEditorWidget::ToQColor(FBrush));
  if (text.empty()) return;
  FPainter.setPen(HexEditorWidget::ToQColor(FFont.Color));
  const QString s = HexEditorWidget::FromCp1252(text);
  // A glyph may reach past its cell (an accent above the row, a wide
  // glyph): drawn unclipped, what the screen shows would depend on the
  // order the rows were moved and painted in. Only a character whose ink is
  // known to lie inside the cell is drawn without a clip.
  if (FGlyphs && text.size() == 1 &&
      QRect(0, 0, r.width(), r.height()).contains(FGlyphs->Get(static_cast<uint8_t>(text[0])).Ink.translated(x - r.left(), y - r.top()))) {
    FPainter.drawText(QPoint(x, y + FAscent), s);
    return;
  }
  FPainter.save();
  FPainter.setClipRect(r, Qt::IntersectClip);
  FPainter.drawText(QPoint(x, y + FAscent), s);
  FPainter.restore();
}

void TQtCanvas::CollectFill(const QRect& r, TColor color) {
  if (!FFills.empty()) {
    TFill& last = FFills.back();
    if (last.Color == color && last.Rect.top() == r.top() && last.Rect.bottom() == r.bottom() &&
        last.Rect.right() + 1 == r.left()) {
      last.Rect.setRight(r.right());
      return;
    }
  }
  FFills.push_back({r, color});
}

void TQtCanvas::Flush() {
  if (FFills.empty() && FBatchesUsed == 0) return;
  FlushFills();
  FlushGlyphs();
}

void TQtCanvas::FlushFills() {
  // Rows of rectangles come top to bottom, each left to right: a rectangle
  // right below one of the same columns and colour in the row before extends it.
  FMerged.clear();
  std::vector<size_t> before, current;
  size_t p = 0;
  int top = INT32_MIN, bottom = INT32_MIN;
  for (const TFill& f : FFills) {
    if (f.Rect.top() != top || f.Rect.bottom() != bottom) {
      before.swap(current);
      current.clear();
      p = 0;
      top = f.Rect.top();
      bottom = f.Rect.bottom();
    }
    while (p < before.size() && FMerged[before[p]].Rect.left() < f.Rect.left()) ++p;
    if (p < before.size()) {
      TFill& m = FMerged[before[p]];
      if (m.Rect.left() == f.Rect.left() && m.Rect.right() == f.Rect.right() && m.Color == f.Color &&
          m.Rect.bottom() + 1 == f.Rect.top()) {
        m.Rect.setBottom(f.Rect.bottom());
        current.push_back(before[p++]);
        continue;
      }
    }
    current.push_back(FMerged.size());
    FMerged.push_back(f);
  }
  for (const TFill& m : FMerged) FPainter.fillRect(m.Rect, HexEditorWidget::ToQColor(m.Color));
  FFills.clear();
}

void TQtCanvas::FlushGlyphs() {
  for (size_t b = 0; b < FBatchesUsed; ++b) {
    TGlyphBatch& batch = FBatches[b];
    QGlyphRun run;
    run.setRawFont(batch.Set->RawFont());
    run.setRawData(batch.Indexes.data(), batch.Positions.data(), static_cast<int>(batch.Indexes.size()));
    FPainter.setPen(HexEditorWidget::ToQColor(batch.Color));
    FPainter.drawGlyphRun(QPointF(0, 0), run);
    batch.Indexes.clear();
    batch.Positions.clear();
  }
  FBatchesUsed = 0;
  FSetsInUse.clear();
}

void TQtCanvas::FillRect(const TRect& rect) {
  Flush();
  FPainter.fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), HexEditorWidget::ToQColor(FBrush));
}

void TQtCanvas::FrameRect(const TRect& rect) {
  Flush();
  if (rect.IsEmpty()) return;
  FPainter.save();
  FPainter.setPen(QPen(HexEditorWidget::ToQColor(FPen), 0));
  FPainter.setBrush(Qt::NoBrush);
  FPainter.drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
  FPainter.restore();
}

void TQtCanvas::DrawFocusRect(const TRect& rect) {
  Flush();
  if (rect.IsEmpty()) return;
  FPainter.save();
  FPainter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  QPen pen(Qt::white, 0);
  pen.setDashPattern({1.0, 1.0});
  FPainter.setPen(pen);
  FPainter.setBrush(Qt::NoBrush);
  FPainter.drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
  FPainter.restore();
}

void TQtCanvas::Line(int x1, int y1, int x2, int y2) {
  Flush();
  FPainter.setPen(QPen(HexEditorWidget::ToQColor(FPen), 0));
  FPainter.drawLine(x1, y1, x2, y2);
}

}  // namespace byteloom
