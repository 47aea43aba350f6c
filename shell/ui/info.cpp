// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/info.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include "shell/helppages.h"
#include "shell/ui/artwork.h"
#include "ui/dialogservice.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

QString InfoText() {
  return QStringLiteral("Version: 1.2\n"
                        "\n"
                        "Velmora Software, 2026\n") +
         QString::fromLatin1(kHomepage).remove(QStringLiteral("http://")) + QLatin1Char('\n') +
         QString::fromLatin1(kAuthorMail) +
         QStringLiteral("\n"
                        "\n"
                        "Free software under the GNU General Public License, version 3 or later: "
                        "share it and change it. No warranty: keep copies of your files.\n"
                        "\n"
                        "Built with Qt 6 (LGPL 3). Thanks to everyone who sent bug reports and save-game notes.");
}

TInfoform::TInfoform(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Infoform"));
  setWindowTitle(QStringLiteral("Info"));
  // Fixed border without border icons: only OK closes it.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(327, 254);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setGeometry(8, 8, 311, 204);
  Panel1 = panel;

  ProgramIcon = Label(panel, "ProgramIcon", QString(), 12, 12, 32, 32);
  ProgramIcon->setPixmap(byteloom::ProgramIcon().pixmap(32, 32));
  ProductName = Label(panel, "ProductName", QStringLiteral("ORVANTA"), 56, 10, 240, 20);
  QFont big = ProductName->font();
  big.setBold(true);
  big.setPointSize(12);
  ProductName->setFont(big);
  Version = Label(panel, "Version", QStringLiteral("Byteloom"), 56, 30, 240, 18);

  Memo1 = new QTextEdit(panel);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(8, 56, 295, 140);
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setBackgroundRole(QPalette::Button);  // the button-face colour
  Memo1->viewport()->setBackgroundRole(QPalette::Button);
  Memo1->setPlainText(InfoText());
  Memo1->selectAll();
  Memo1->setAlignment(Qt::AlignHCenter);
  Memo1->moveCursor(QTextCursor::Start);
  // Display only, like the panel it lies on; it still scrolls.
  Memo1->setTextInteractionFlags(Qt::NoTextInteraction);

  BitBtn1 = Button(this, "BitBtn1", QStringLiteral("OK"), 234, 220, 85, 26);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn1Click(); }); });
}

void TInfoform::BitBtn1Click() { accept(); }

}  // namespace byteloom
