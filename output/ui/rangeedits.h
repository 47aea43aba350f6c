// SPDX-License-Identifier: GPL-3.0-or-later
// The two range fields ("from", "to") of the print and export dialogs, on the
// active document: filled from its selection or the whole document, and
// repaired when either is left. A size line, when given, shows what they
// cover while they are typed.
#pragma once

#include "output/dumpformat.h"

class QLabel;
class QLineEdit;

namespace byteloom {

class TDocumentList;

// The widest text a range field holds: eight hex digits.
inline constexpr char kWidestRangeField[] = "FFFFFFFF";

class TRangeEdits {
 public:
  TRangeEdits(QLineEdit* from, QLineEdit* to, QLabel* sizeLine = nullptr);

  void SetDocuments(TDocumentList* documents) { FDocuments = documents; }
  // The active document's control, or nullptr when none is open.
  THexEditor* ActiveEditor() const;
  TRangeFields Fields() const;
  void SetFields(const TRangeFields& fields);
  // The active document's selection, or all of it when SelStart = SelEnd.
  void ShowSelection();
  void ShowAll();
  // Leaving a field: the repair of unreadable texts and of "to".
  void Repair();
  // The size line for the fields' texts (a warning colour when they cover
  // nothing).
  void ShowSize();

 private:
  QLineEdit* FFrom;
  QLineEdit* FTo;
  QLabel* FSizeLine;
  TDocumentList* FDocuments = nullptr;
};

}  // namespace byteloom
