// SPDX-License-Identifier: GPL-3.0-or-later
// TFileproperties: what the file system says about the file of the active
// editor window (name, type, folder, size, times, backup, attributes). It
// reads the file on disk, not the document, so unsaved changes do not show.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace byteloom {

class TDocumentList;
struct TFilePropertyTexts;

class TFileproperties : public QDialog {
 public:
  explicit TFileproperties(QWidget* parent = nullptr);

  // The open documents; the active one's caption is the file shown.
  void SetDocuments(TDocumentList* documents) { FDocuments = documents; }
  // Fills every field for the active editor window's file.
  void FormShow();
  void Show(const TFilePropertyTexts& texts);

  QLabel* Label1 = nullptr;  // "Informations about the File "as it is" on your Disk:"
  // The value labels, top to bottom.
  QLabel *Name = nullptr, *Typ = nullptr, *Destination = nullptr, *Size = nullptr, *DosName = nullptr,
         *Created = nullptr, *LastChange = nullptr, *LastAccess = nullptr, *Backup = nullptr;
  QCheckBox *WriteProtected = nullptr, *System = nullptr, *Archive = nullptr, *Hidden = nullptr;

 private:
  TDocumentList* FDocuments = nullptr;
};

}  // namespace byteloom
