// SPDX-License-Identifier: GPL-3.0-or-later
// The open documents as the windows above the control see them: how many
// there are, the control and caption of each by index, and which one is
// active. The frame implements it over its editor windows (index 0 is the
// active window, the others follow in the order the frame keeps them);
// compare, print and export use only this, never the editor window itself.
#pragma once

#include <string>

namespace byteloom {

class THexEditor;

class TDocumentList {
 public:
  virtual ~TDocumentList() = default;
  // Number of open documents (windows that are closing are not counted).
  virtual int DocumentCount() const = 0;
  // The control of document `index` (0 <= index < DocumentCount()).
  virtual THexEditor& DocumentEditor(int index) const = 0;
  // The name of document `index`: its file name, or "New File" (never
  // what its window's caption adds, such as the shift of a pair).
  virtual std::string DocumentCaption(int index) const = 0;
  // Index of the active document, or -1 when there is none.
  virtual int ActiveDocument() const = 0;
};

// What a document's window caption adds to its name: "*" while the document
// has unsaved changes, then, apart, a mark such as the shift of a pair
// ("(+4)"). The lists of documents show the name alone.
std::string CaptionMarks(bool modified, const std::string& mark = {});

}  // namespace byteloom
