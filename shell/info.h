// TInfoform: the about box (its contents come with the help commands).
#pragma once

#include <QDialog>

namespace byteloom {

class TInfoform : public QDialog {
 public:
  explicit TInfoform(QWidget* parent = nullptr);
};

}  // namespace byteloom
