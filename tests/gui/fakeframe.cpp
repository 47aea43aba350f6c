// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakeframe.h"

#include <algorithm>

namespace byteloom::test {

TFakeFrame::TFakeFrame() {
  Search.SetFrame(this, this);
  Print.SetDocuments(this);
  Export.SetFrame(this, &FSave);
}

TFakeFrame::~TFakeFrame() {
  for (const QPointer<Teditform>& window : FWindows) delete window.data();
}

Teditform* TFakeFrame::OpenWindow(const QString& path) {
  FOpen.SetFileName(path);
  auto* window = new Teditform(*this);
  window->SetDocumentName(path.isEmpty() ? QStringLiteral("New File") : path);
  FWindows.insert(FWindows.begin(), window);
  window->resize(565, 380);
  window->show();
  return window;
}

void TFakeFrame::RunCommand(TFrameCommand command, int index) {
  static const char* const kNames[] = {"new", "open", "restore", "recent", "preferences", "exit", "properties"};
  QString name = QLatin1String(kNames[static_cast<int>(command)]);
  if (command == TFrameCommand::fcRecentFile) name += QStringLiteral(" %1").arg(index);
  Commands << name;
}

int TFakeFrame::MDIChildCount() const {
  return static_cast<int>(std::count_if(FWindows.begin(), FWindows.end(),
                                        [](const QPointer<Teditform>& w) { return w && !w->IsClosing(); }));
}

Teditform* TFakeFrame::MDIChildren(int index) const {
  for (const QPointer<Teditform>& window : FWindows)
    if (window && !window->IsClosing() && index-- == 0) return window;
  return nullptr;
}

std::string TFakeFrame::DocumentCaption(int index) const {
  return MDIChildren(index)->DocumentName().toStdString();
}

void TFakeFrame::Activate(Teditform* window) {
  const auto it = std::find(FWindows.begin(), FWindows.end(), window);
  if (it != FWindows.end()) std::rotate(FWindows.begin(), it, it + 1);
}

}  // namespace byteloom::test
