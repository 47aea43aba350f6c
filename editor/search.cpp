#include "editor/search.h"

namespace byteloom {

TSearchReplace::TSearchReplace(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SearchReplace"));
  setWindowTitle(QStringLiteral("Edit it!"));
  setFixedSize(355, 165);
}

}  // namespace byteloom
