// SPDX-License-Identifier: GPL-3.0-or-later
// The clipboard as the editor windows use it: copied bytes go on it exactly
// (under a private MIME type of ours) together with a text for other
// programs; Paste takes the exact bytes when they are there, otherwise the
// clipboard's text. The Qt service talks to QClipboard; tests may install
// their own.
#pragma once

#include <QByteArray>

namespace byteloom {

class TClipboardService {
 public:
  virtual ~TClipboardService() = default;
  // Whether Paste has something to take (our bytes or any text).
  virtual bool CanPaste() const = 0;
  // Replaces the clipboard's contents by these bytes (and their text).
  virtual void PutBytes(QByteArray bytes) = 0;
  // The bytes Paste inserts (empty when there is nothing to paste).
  virtual QByteArray PasteBytes() const = 0;
  // Plain text for other programs (Copy as), and the clipboard's text.
  virtual void PutText(const QString& text) = 0;
  virtual QString Text() const = 0;
};

// The service in use (the QClipboard one unless a test installed another).
TClipboardService& Clipboard();
// Installs a service (not owned); nullptr goes back to the QClipboard one.
void SetClipboardService(TClipboardService* service);

}  // namespace byteloom
