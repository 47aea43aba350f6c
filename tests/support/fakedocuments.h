// SPDX-License-Identifier: GPL-3.0-or-later
// Open documents over controls the test owns; index 0 is the active one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/documents.h"
#include "control/hexeditor.h"

namespace byteloom::test {

class TFakeDocuments final : public TDocumentList {
 public:
  int DocumentCount() const override { return static_cast<int>(Editors.size()); }
  THexEditor& DocumentEditor(int index) const override { return *Editors.at(static_cast<size_t>(index)); }
  std::string DocumentCaption(int index) const override { return "doc" + std::to_string(index); }
  int ActiveDocument() const override { return Editors.empty() ? -1 : 0; }

  std::vector<std::unique_ptr<THexEditor>> Editors;
};

}  // namespace byteloom::test
