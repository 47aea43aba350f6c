// The two range fields ("from", "to") of the print and export dialogs, on the
// active document: filled from its selection or the whole document, and
// repaired when either is left.
#pragma once

#include "output/dumpformat.h"

class QLineEdit;

namespace byteloom {

class TDocumentList;

class TRangeEdits {
 public:
  TRangeEdits(QLineEdit* from, QLineEdit* to);

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

 private:
  QLineEdit* FFrom;
  QLineEdit* FTo;
  TDocumentList* FDocuments = nullptr;
};

}  // namespace byteloom
