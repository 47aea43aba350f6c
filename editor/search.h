// TSearchReplace: the shared dialog of find, replace, goto, binary edit and bookmarks.
#pragma once

#include <QDialog>

namespace byteloom {

class TSearchReplace : public QDialog {
 public:
  explicit TSearchReplace(QWidget* parent = nullptr);
};

}  // namespace byteloom
