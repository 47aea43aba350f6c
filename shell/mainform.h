// The main frame of Byteloom.
#pragma once

#include <QMainWindow>

namespace byteloom {

class TMainform : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainform(QWidget* parent = nullptr);
};

}  // namespace byteloom
