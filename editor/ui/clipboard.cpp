// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include "editor/clipdata.h"
#include "ui/qtext.h"

namespace byteloom {

namespace {

// The exact bytes, and their text for other programs made only when asked
// for: a copy holds the bytes, and the text once while a program reads it.
class TByteMimeData final : public QMimeData {
 public:
  explicit TByteMimeData(QByteArray bytes) : FBytes(std::move(bytes)) {}
  QStringList formats() const override { return {QLatin1String(kClipBytesMimeType), QStringLiteral("text/plain")}; }
  bool hasFormat(const QString& type) const override { return formats().contains(type); }

 protected:
  QVariant retrieveData(const QString& type, QMetaType) const override {
    if (type == QLatin1String(kClipBytesMimeType)) return FBytes;
    if (type == QStringLiteral("text/plain"))
      return FromAnsi(reinterpret_cast<const uint8_t*>(FBytes.constData()), static_cast<size_t>(FBytes.size()));
    return {};
  }

 private:
  QByteArray FBytes;
};

class TQtClipboard final : public TClipboardService {
 public:
  // Made before any window listens to the clipboard (a window asks for the
  // service first), so it hears of a change before the windows do.
  TQtClipboard() {
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &FWatch, [this] { FCanPaste = -1; });
  }
  // Asked after every key: what another program's clipboard holds is a
  // round trip to the window system, so the answer is kept until the
  // clipboard changes.
  bool CanPaste() const override {
    if (FCanPaste < 0) {
      const QMimeData* data = QGuiApplication::clipboard()->mimeData();
      FCanPaste = data && (data->hasFormat(QLatin1String(kClipBytesMimeType)) || data->hasText()) ? 1 : 0;
    }
    return FCanPaste == 1;
  }

  void PutBytes(QByteArray bytes) override { QGuiApplication::clipboard()->setMimeData(new TByteMimeData(std::move(bytes))); }

  QByteArray PasteBytes() const override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return {};
    if (data->hasFormat(QLatin1String(kClipBytesMimeType))) return data->data(QLatin1String(kClipBytesMimeType));
    if (!data->hasText()) return {};
    const std::string bytes = AnsiText(data->text());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }

  void PutText(const QString& text) override { QGuiApplication::clipboard()->setText(text); }
  QString Text() const override { return QGuiApplication::clipboard()->text(); }

 private:
  QObject FWatch;            // ends the connection with the service
  mutable int FCanPaste = -1;  // -1: not known
};

TClipboardService* g_clipboard = nullptr;

}  // namespace

TClipboardService& Clipboard() {
  static TQtClipboard qt;
  return g_clipboard ? *g_clipboard : qt;
}

void SetClipboardService(TClipboardService* service) { g_clipboard = service; }

}  // namespace byteloom
