// TFileproperties: facts about the document's file on disk (filled in by the file properties command).
#pragma once

#include <QDialog>

namespace byteloom {

class TFileproperties : public QDialog {
 public:
  explicit TFileproperties(QWidget* parent = nullptr);
};

}  // namespace byteloom
