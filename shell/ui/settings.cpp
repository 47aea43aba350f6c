// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/settings.h"

#include <QAction>
#include <QSettings>
#include <QWindow>

#include <optional>

#include "platform/store.h"
#include "shell/ui/mainform.h"
#include "shell/ui/placing.h"
#include "shell/ui/preferen.h"
#include "ui/qtext.h"

namespace byteloom {

namespace {

QSettings::Format Format() { return QSettings::IniFormat; }

// The settings file alone (SettingsFile(): Velmora/Tarnwick.ini in the
// user's configuration folder), without the organisation's and the system's
// files that QSettings would read as well.
std::unique_ptr<QSettings> OpenStore() {
  return std::make_unique<QSettings>(FromFileName(SettingsFile()), Format());
}

// An integer value: a whole number written as text, or nothing.
std::optional<int> ReadInteger(const QSettings& store, const QString& name) {
  const QVariant value = store.value(name);
  if (!value.isValid()) return std::nullopt;
  bool ok = false;
  const int result = value.toString().trimmed().toInt(&ok);
  if (!ok) return std::nullopt;
  return result;
}

// A boolean value: 0 or 1 (also "false" or "true"), or nothing.
std::optional<bool> ReadBoolean(const QSettings& store, const QString& name) {
  const QVariant value = store.value(name);
  if (!value.isValid()) return std::nullopt;
  const QString text = value.toString().trimmed().toLower();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  bool ok = false;
  const int number = text.toInt(&ok);
  if (!ok) return std::nullopt;
  return number != 0;
}

// Puts the frame's outer corner at r's corner and gives it r's size; a frame
// that would be out of reach comes back onto a screen.
void PlaceFrame(QWidget& frame, const QRect& r) {
  const TFrameRect placed = BringOntoScreen(ToFrameRect(r), ScreenAreas());
  frame.resize(placed.Width, placed.Height);
  // The window exists but has no frame yet: move() alone would put its
  // client area at the point and the title bar above it, one title bar
  // higher at every start. The window system is asked to put the outer
  // frame there (after move(), so that showing keeps the request).
  const QPoint corner(placed.Left, placed.Top);
  frame.move(corner);
  if (QWindow* window = frame.windowHandle()) window->setFramePosition(corner);
}

}  // namespace

void LoadSettings(TMainform& frame, TPreferences& preferences) {
  // QSettings would block on a FIFO, read a device until memory runs out and
  // replace whatever a link leads to: a settings file that is not a regular
  // file (or is unreadable, or too large) is looked at first and left alone,
  // reported once; the settings of this run stay in memory.
  if (const std::string problem = SettingsStoreProblem(); !problem.empty()) {
    ReportStoreProblem(problem);
    return;
  }
  const auto store = OpenStore();
  const QStringList groups = store->childGroups();
  TPreferenceValues values = preferences.Values();
  if (groups.contains(QStringLiteral("General"))) {
    store->beginGroup(QStringLiteral("General"));
    values.LoadPositionInfo = ReadBoolean(*store, QStringLiteral("Load_Position_Info")).value_or(values.LoadPositionInfo);
    if (ReadBoolean(*store, QStringLiteral("Load_Position_Info")).value_or(false)) {
      // "top" and "left" are the frame's outer corner (title bar included).
      QRect r(frame.pos(), frame.size());
      if (const auto top = ReadInteger(*store, QStringLiteral("top"))) r.moveTop(*top);
      if (const auto left = ReadInteger(*store, QStringLiteral("left"))) r.moveLeft(*left);
      // A size of nothing would hide the frame: such values are skipped.
      if (const auto width = ReadInteger(*store, QStringLiteral("width")); width && *width > 0) r.setWidth(*width);
      if (const auto height = ReadInteger(*store, QStringLiteral("height")); height && *height > 0)
        r.setHeight(*height);
      PlaceFrame(frame, r);
    }
    for (int k = 0; k < 5; ++k)
      frame.RecentFiles().Restore(k, store->value(QStringLiteral("File%1").arg(k + 1)).toString().toStdString());
    frame.RenderRecentFiles();
    store->endGroup();
  }
  if (groups.contains(QStringLiteral("Editor"))) {
    store->beginGroup(QStringLiteral("Editor"));
    values.PrgLanguageNotification =
        ReadBoolean(*store, QStringLiteral("Prg_Language_Notification")).value_or(values.PrgLanguageNotification);
    values.ShowValueInfo = ReadBoolean(*store, QStringLiteral("Show_Value_Info")).value_or(values.ShowValueInfo);
    if (const auto color = ReadInteger(*store, QStringLiteral("Difference_Color")); color && *color >= 0 && *color <= 0xFFFFFF)
      values.DifferenceColor = static_cast<TColor>(*color);
    store->endGroup();
  }
  preferences.SetValues(values);
}

QString SaveSettings(TMainform& frame, TPreferences& preferences) {
  // Written only over a regular file (or as a new one); a settings file that
  // cannot be used is reported once per run (at the start, or here).
  if (const std::string problem = SettingsStoreProblem(); !problem.empty())
    return FirstStoreReport(problem) ? QString::fromLocal8Bit(problem.c_str()) : QString();
  const auto store = OpenStore();
  store->beginGroup(QStringLiteral("Copyright"));
  store->setValue(QStringLiteral("Produkt Name"), QStringLiteral("Byteloom Hex Editor"));
  store->setValue(QStringLiteral("Autor"), QStringLiteral("Velmora Software"));
  store->setValue(QStringLiteral("Erstellt"), QStringLiteral("2026"));
  store->setValue(QStringLiteral("Homepage"), QStringLiteral("http://www.velmora-soft.example"));
  store->setValue(QStringLiteral("eMail"), QStringLiteral("byteloom@velmora-soft.example"));
  store->endGroup();

  store->beginGroup(QStringLiteral("General"));
  store->setValue(QStringLiteral("Load_Position_Info"), preferences.Values().LoadPositionInfo ? 1 : 0);
  // The outer corner, as the window system places the frame at the next start.
  store->setValue(QStringLiteral("top"), frame.frameGeometry().top());
  store->setValue(QStringLiteral("left"), frame.frameGeometry().left());
  store->setValue(QStringLiteral("width"), frame.width());
  store->setValue(QStringLiteral("height"), frame.height());
  for (int k = 0; k < 5; ++k) {
    const std::string& name = frame.RecentFiles().Name(k);
    if (!name.empty()) store->setValue(QStringLiteral("File%1").arg(k + 1), QString::fromStdString(name));
  }
  store->endGroup();

  store->beginGroup(QStringLiteral("Editor"));
  store->setValue(QStringLiteral("Prg_Language_Notification"), preferences.Values().PrgLanguageNotification ? 1 : 0);
  store->setValue(QStringLiteral("Show_Value_Info"), preferences.Values().ShowValueInfo ? 1 : 0);
  store->setValue(QStringLiteral("Difference_Color"), static_cast<int>(preferences.Values().DifferenceColor));
  store->endGroup();

  store->sync();
  if (store->status() != QSettings::NoError)
    return QStringLiteral("The settings could not be stored in\r\n") + store->fileName();
  return {};
}

}  // namespace byteloom
