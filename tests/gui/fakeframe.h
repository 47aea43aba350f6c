// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the main frame: it records what the editor windows enable
// and which frame commands they run, owns the shared file dialogs and the
// search dialog, and lists its windows, so a window test needs no frame.
#pragma once

#include <QPointer>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

#include "control/bookmarks.h"
#include "control/bytesource.h"
#include "control/documents.h"
#include "editor/findexpr.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "editor/ui/search.h"
#include "output/ui/Drucker.h"
#include "output/ui/hexexp.h"
#include "ui/dialogservice.h"

namespace byteloom::test {

class TFakeFrame final : public TFrameLink, public TDocumentList {
 public:
  TFakeFrame();
  ~TFakeFrame() override;

  // A new editor window for path (empty: a new document), shown and counted.
  Teditform* OpenWindow(const QString& path = QString());
  bool Enabled(TFrameItem item) const { return FItems[static_cast<size_t>(item)]; }

  QStringList Commands;  // the frame commands run, as "new", "open", "recent 2" ...
  std::array<TRecentEntry, 5> Recent;
  bool Separator = false;
  bool ValueInfo = true;
  TSearchReplace Search;
  TDruckerForm Print;
  THexExport Export;

  void SetItemEnabled(TFrameItem item, bool enabled) override { FItems[static_cast<size_t>(item)] = enabled; }
  bool ItemEnabled(TFrameItem item) const override { return Enabled(item); }
  void RunCommand(TFrameCommand command, int index) override;
  std::array<TRecentEntry, 5> RecentEntries() const override { return Recent; }
  bool RecentSeparatorShown() const override { return Separator; }
  void ShowRecentSeparator() override { Separator = true; }
  TFileDialog& OpenDialog() override { return FOpen; }
  TFileDialog& SaveDialog() override { return FSave; }
  TSearchReplace& SearchDialog() override { return Search; }
  QDialog& PrintForm() override { return Print; }
  QDialog& ExportForm() override { return Export; }
  int MDIChildCount() const override;
  Teditform* MDIChildren(int index) const override;
  Teditform* ActiveMDIChild() const override { return MDIChildren(0); }
  bool ShowValueInfoPreference() const override { return ValueInfo; }
  TSearchState& SearchState() override { return FSearchState; }
  TBookmarkTable& Bookmarks() override { return FBookmarks; }
  void AddSnapshot(std::unique_ptr<TByteSource>, const std::string&, uint64_t) override {}
  void SnapshotNotice(const std::string&, bool) override {}

  int DocumentCount() const override { return MDIChildCount(); }
  THexEditor& DocumentEditor(int index) const override { return MDIChildren(index)->Editor(); }
  std::string DocumentCaption(int index) const override;
  int ActiveDocument() const override { return MDIChildCount() > 0 ? 0 : -1; }

  // Makes window the active one (index 0).
  void Activate(Teditform* window);

 private:
  std::array<bool, kFrameItemCount> FItems{};
  TFileDialog FOpen{QStringLiteral("OpenDialog1"), TFileDialog::TKind::fdOpen, QStringLiteral("All Files (*.*)|*.*")};
  TFileDialog FSave{QStringLiteral("SaveDialog1"), TFileDialog::TKind::fdSave, QStringLiteral("All Files (*.*)|*.*")};
  std::vector<QPointer<Teditform>> FWindows;  // the active one first
  TSearchState FSearchState;
  TBookmarkTable FBookmarks;
};

}  // namespace byteloom::test
