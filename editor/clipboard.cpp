#include "editor/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

#include "editor/clipdata.h"
#include "editor/qtext.h"

namespace byteloom {

namespace {

class TQtClipboard final : public TClipboardService {
 public:
  bool CanPaste() const override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && (data->hasFormat(QLatin1String(kClipBytesMimeType)) || data->hasText());
  }

  void PutBytes(QByteArray bytes) override {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const auto size = static_cast<size_t>(bytes.size());
    // The text for other programs is built in place, next to the bytes.
    const QString text = FromAnsi(data, size);
    auto* mime = new QMimeData;
    mime->setData(QLatin1String(kClipBytesMimeType), bytes);
    bytes = QByteArray();
    mime->setText(text);
    QGuiApplication::clipboard()->setMimeData(mime);
  }

  QByteArray PasteBytes() const override {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data) return {};
    if (data->hasFormat(QLatin1String(kClipBytesMimeType))) return data->data(QLatin1String(kClipBytesMimeType));
    if (!data->hasText()) return {};
    const std::string bytes = AnsiText(data->text());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
};

TClipboardService* g_clipboard = nullptr;

}  // namespace

TClipboardService& Clipboard() {
  static TQtClipboard qt;
  return g_clipboard ? *g_clipboard : qt;
}

void SetClipboardService(TClipboardService* service) { g_clipboard = service; }

}  // namespace byteloom
