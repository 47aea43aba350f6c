// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qtext.h"

#include <QFile>

#include <vector>

#include "platform/codepages.h"

namespace byteloom {

std::string AnsiText(const QString& text) {
  const std::vector<uint8_t> bytes =
      ClipTextToBytes(reinterpret_cast<const char16_t*>(text.constData()), static_cast<size_t>(text.size()));
  return std::string(bytes.begin(), bytes.end());
}

QString FromAnsi(const uint8_t* data, size_t size) {
  QString text(static_cast<qsizetype>(ClipTextLength(data, size)), Qt::Uninitialized);
  FillClipText(data, size, reinterpret_cast<char16_t*>(text.data()));
  return text;
}

std::string ToFileName(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString FromFileName(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

}  // namespace byteloom
