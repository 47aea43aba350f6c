// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/fileprop.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>

#include <cstdint>
#include <limits>
#include <string>

#include "control/documents.h"
#include "shell/fileinfo.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

namespace {

// A time whose texts are among the widest: a Wednesday in December, 23:59.
constexpr int64_t kWidestTime = 1798675140;  // 2026-12-30 23:59 UTC

QFrame* Line(QWidget* parent, int y) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(8, y, 299, 4);
  return line;
}

}  // namespace

TFileproperties::TFileproperties(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Fileproperties"));
  setWindowTitle(QStringLiteral("File-Properties:"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(315, 315);
  Label1 = Label(this, "Label1", QStringLiteral("Informations about the File \"as it is\" on your Disk:"), 8, 8, 299, 16);
  // A right-aligned caption and its value label, in rows.
  auto row = [this](const char* caption, const char* name, int y) {
    QLabel* title = Label(this, "", QString::fromLatin1(caption), 4, y, 94, 16);
    title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLabel* value = Label(this, name, QStringLiteral("-"), 104, y, 203, 16);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return value;
  };
  Name = row("Name:", "Name", 32);
  Line(this, 52);
  Typ = row("Type:", "Typ", 60);
  Destination = row("Destination:", "Destination", 80);
  Destination->setWordWrap(true);
  Size = row("Size:", "Size", 100);
  Line(this, 120);
  DosName = row("MS-Dos-Name:", "DosName", 128);
  Created = row("Created:", "Created", 148);
  LastChange = row("Last change:", "LastChange", 168);
  LastAccess = row("Last access:", "LastAccess", 188);
  Backup = row("Backup?", "Backup", 208);
  // Room for the widest size (of a file below a petabyte), time and backup texts.
  FitWidth(Size, QStringLiteral("999999999999999 Bytes"));
  const QString widestTime = QString::fromStdString(FormatFileTime(kWidestTime));
  for (QLabel* time : {Created, LastChange, LastAccess}) FitWidth(time, widestTime);
  for (TBackupKind kind : {TBackupKind::bkNone, TBackupKind::bkBak, TBackupKind::bkBakTilde})
    FitWidth(Backup, QString::fromStdString(BackupText(kind)));
  GrowToChildren(this);
  Line(this, 228);
  QLabel* attributes = Label(this, "", QStringLiteral("Attributes:"), 4, 240, 94, 16);
  attributes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setGeometry(104, 236, 203, 48);
  panel->setEnabled(false);  // display only
  WriteProtected = CheckBox(panel, "WriteProtected", QStringLiteral("Write Protected"), 0, 4, 126, 18);
  System = CheckBox(panel, "System", QStringLiteral("System"), 130, 4, 73, 18);
  Archive = CheckBox(panel, "Archive", QStringLiteral("Archive"), 0, 26, 126, 18);
  Hidden = CheckBox(panel, "Hidden", QStringLiteral("Hidden"), 130, 26, 73, 18);
}

void TFileproperties::FormShow() {
  const int active = FDocuments ? FDocuments->ActiveDocument() : -1;
  const std::string name = active >= 0 ? FDocuments->DocumentCaption(active) : std::string();
  Show(FilePropertyTexts(name));
}

void TFileproperties::Show(const TFilePropertyTexts& t) {
  const std::pair<QLabel*, const std::string*> fields[] = {
      {Name, &t.Name},         {Typ, &t.Type},           {Destination, &t.Destination},
      {Size, &t.Size},         {DosName, &t.DosName},    {Created, &t.Created},
      {LastChange, &t.LastChange}, {LastAccess, &t.LastAccess}, {Backup, &t.Backup}};
  for (const auto& [label, text] : fields) label->setText(QString::fromStdString(*text));
  WriteProtected->setChecked(t.WriteProtected);
  System->setChecked(t.System);
  Archive->setChecked(t.Archive);
  Hidden->setChecked(t.Hidden);
}

}  // namespace byteloom
