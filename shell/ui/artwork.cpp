// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/artwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace byteloom {

namespace {

const QColor kInk(0, 0, 0);
const QColor kPaper(255, 255, 255);
const QColor kNavy(0, 0, 128);
const QColor kMaroon(128, 0, 0);
const QColor kYellow(255, 255, 168);
const QColor kGray(128, 128, 128);
const QColor kTeal(0, 128, 128);

// The picture of a 16 x 16 image, drawn once per device pixel ratio that the
// screens may need, so that it stays sharp when the desktop is scaled.
QIcon Paint16(const std::function<void(QPainter&)>& draw) {
  QIcon icon;
  for (int scale : {1, 2, 3}) {
    QPixmap pixmap(16 * scale, 16 * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    draw(p);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// A sheet of paper with a folded corner.
void Page(QPainter& p, int x, int y, int w, int h) {
  QPolygon sheet;
  sheet << QPoint(x, y) << QPoint(x + w - 4, y) << QPoint(x + w, y + 4) << QPoint(x + w, y + h) << QPoint(x, y + h);
  p.setPen(kInk);
  p.setBrush(kPaper);
  p.drawPolygon(sheet);
  p.drawLine(x + w - 4, y, x + w - 4, y + 4);
  p.drawLine(x + w - 4, y + 4, x + w, y + 4);
}

void Lines(QPainter& p, int x, int y, int w, int count) {
  p.setPen(kGray);
  for (int i = 0; i < count; ++i) p.drawLine(x, y + 2 * i, x + w, y + 2 * i);
}

void Magnifier(QPainter& p, int x, int y) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(QColor(200, 230, 255));
  p.drawEllipse(x, y, 7, 7);
  p.setPen(QPen(kMaroon, 2));
  p.drawLine(x + 7, y + 7, x + 11, y + 11);
}

void Arrow(QPainter& p, int x1, int y, int x2, const QColor& color) {
  p.setPen(QPen(color, 2));
  p.drawLine(x1, y, x2, y);
  const int d = x2 > x1 ? -3 : 3;
  p.drawLine(x2, y, x2 + d, y - 3);
  p.drawLine(x2, y, x2 + d, y + 3);
}

}  // namespace

std::array<QIcon, 13> ToolbarImages() {
  return {
      // 0 New
      Paint16([](QPainter& p) {
        Page(p, 3, 1, 10, 14);
        p.setPen(QColor(255, 200, 0));
        p.drawLine(11, 9, 15, 13);
        p.drawLine(11, 13, 15, 9);
      }),
      // 1 Open
      Paint16([](QPainter& p) {
        p.setPen(kInk);
        p.setBrush(QColor(255, 220, 120));
        p.drawRect(1, 5, 12, 9);
        p.drawRect(1, 3, 5, 2);
        QPolygon flap;
        flap << QPoint(3, 8) << QPoint(15, 8) << QPoint(13, 14) << QPoint(1, 14);
        p.setBrush(QColor(240, 190, 60));
        p.drawPolygon(flap);
      }),
      // 2 Save
      Paint16([](QPainter& p) {
        p.setPen(kInk);
        p.setBrush(kNavy);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(kPaper);
        p.drawRect(4, 1, 7, 5);
        p.setBrush(kGray);
        p.drawRect(4, 9, 7, 5);
      }),
      // 3 Print
      Paint16([](QPainter& p) {
        Page(p, 4, 1, 8, 6);
        p.setPen(kInk);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(1, 7, 14, 6);
        p.setBrush(kPaper);
        p.drawRect(4, 11, 8, 4);
        p.setPen(QColor(0, 160, 0));
        p.drawPoint(12, 9);
      }),
      // 4 Cut
      Paint16([](QPainter& p) {
        p.setPen(QPen(kInk, 1));
        p.drawLine(5, 1, 9, 10);
        p.drawLine(11, 1, 7, 10);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kNavy, 1));
        p.drawEllipse(3, 10, 4, 4);
        p.drawEllipse(9, 10, 4, 4);
      }),
      // 5 Copy
      Paint16([](QPainter& p) {
        Page(p, 1, 1, 8, 10);
        Page(p, 6, 5, 8, 10);
        Lines(p, 8, 9, 4, 3);
      }),
      // 6 Paste
      Paint16([](QPainter& p) {
        p.setPen(kInk);
        p.setBrush(QColor(160, 110, 50));
        p.drawRect(1, 2, 10, 13);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(4, 1, 4, 2);
        Page(p, 6, 6, 8, 9);
        Lines(p, 8, 9, 4, 3);
      }),
      // 7 Undo
      Paint16([](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kNavy, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 4, 10, 9), 90 * 16, -200 * 16);
        p.drawLine(QPointF(8, 4), QPointF(5, 1.5));
        p.drawLine(QPointF(8, 4), QPointF(5, 6.5));
      }),
      // 8 Search
      Paint16([](QPainter& p) {
        Page(p, 1, 1, 9, 12);
        Magnifier(p, 5, 4);
      }),
      // 9 Search again
      Paint16([](QPainter& p) {
        Magnifier(p, 1, 1);
        Arrow(p, 6, 13, 14, QColor(0, 140, 0));
      }),
      // 10 Help
      Paint16([](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(kNavy);
        p.setBrush(QColor(255, 255, 200));
        p.drawEllipse(1, 1, 13, 13);
        QFont f;
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
      }),
      // 11 Compare again
      Paint16([](QPainter& p) {
        Page(p, 0, 1, 7, 10);
        Page(p, 8, 1, 7, 10);
        Arrow(p, 2, 13, 13, QColor(0, 140, 0));
      }),
      // 12 Compare + Compare o'meter
      Paint16([](QPainter& p) {
        Page(p, 0, 0, 7, 9);
        Page(p, 8, 0, 7, 9);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(kInk);
        p.setBrush(kYellow);
        p.drawPie(QRectF(3, 8, 10, 10), 0, 180 * 16);
        p.setPen(QPen(kMaroon, 1));
        p.drawLine(QPointF(8, 13), QPointF(11, 10));
      }),
  };
}

QPixmap LogoPixmap(qreal devicePixelRatio) {
  QPixmap logo(QSize(390, 200) * devicePixelRatio);
  logo.setDevicePixelRatio(devicePixelRatio);
  logo.fill(QColor(192, 192, 192));
  QPainter p(&logo);
  p.setRenderHint(QPainter::Antialiasing, true);
  // A sheet of hex dump behind the name.
  p.setPen(QPen(kGray, 1));
  p.setBrush(QColor(255, 255, 255));
  p.drawRoundedRect(QRectF(20.5, 14.5, 350, 120), 6, 6);
  QFont mono(QStringLiteral("DejaVu Sans Mono"));
  mono.setStyleHint(QFont::Monospace);
  mono.setPixelSize(11);
  p.setFont(mono);
  static const char* const kRows[] = {
      "00000000: 4279 7465 6C6F 6F6D  Byteloom",
      "00000010: 0F1E 2D3C 4B5A 6978  ..-<KZix",
      "00000020: 8796 A5B4 C3D2 E1F0  ........",
      "00000030: 4845 5820 4544 4954  HEX EDIT",
  };
  for (int i = 0; i < 4; ++i) {
    p.setPen(i % 2 ? kNavy : QColor(0, 0, 255));
    p.drawText(QPointF(38, 38 + 26 * i), QString::fromLatin1(kRows[i]));
  }
  p.fillRect(QRectF(103, 28 + 26, 14, 13), QColor(128, 0, 0, 90));
  // The name.
  QFont title(QStringLiteral("DejaVu Sans"));
  title.setPixelSize(40);
  title.setBold(true);
  p.setFont(title);
  const QRect titleRect(0, 130, 390, 50);
  p.setPen(QColor(64, 64, 64));
  p.drawText(titleRect.translated(2, 2), Qt::AlignCenter, QStringLiteral("Byteloom"));
  p.setPen(kMaroon);
  p.drawText(titleRect, Qt::AlignCenter, QStringLiteral("Byteloom"));
  QFont sub(QStringLiteral("DejaVu Sans"));
  sub.setPixelSize(12);
  p.setFont(sub);
  p.setPen(kTeal);
  p.drawText(QRect(0, 178, 390, 18), Qt::AlignCenter, QStringLiteral("the hex editor for your save files"));
  return logo;
}

QIcon SideBySideImage() {
  return Paint16([](QPainter& p) {
    Page(p, 0, 1, 7, 14);
    Page(p, 8, 1, 7, 14);
    p.setPen(QColor(255, 0, 0));
    for (int y : {4, 9}) p.drawLine(2, y, 13, y);
  });
}

QIcon SnapshotImage() {
  return Paint16([](QPainter& p) {
    p.setPen(kInk);
    p.setBrush(kGray);
    p.drawRect(1, 4, 13, 9);  // the body
    p.drawRect(4, 2, 4, 2);   // the viewfinder
    p.setBrush(kYellow);
    p.drawEllipse(QPoint(8, 8), 3, 3);  // the lens
  });
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kInk, size / 16.0));
    p.setBrush(kMaroon);
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 6.0, size / 6.0);
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(size * 9 / 16);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kYellow);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("0x"));
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace byteloom
