// SPDX-License-Identifier: GPL-3.0-or-later
// A compact markup of a document with its caret and selection, so that one
// test case is one row: "00 11 [22 {33}] 44" is five bytes, 22..33
// selected, the caret on 33. The caret is the selection's anchor (the end
// SelStart reads); without braces it is on the first byte of the selection,
// or on byte 0. Render writes the control's state back the same way; an
// anchor that is not at the caret is marked with "^".
#pragma once

#include <cctype>
#include <string>

#include "tests/support/editortest.h"

namespace byteloom::test {

class MarkupTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(1000, 800);
  }

  // Loads the markup's bytes and sets its caret and selection.
  void Set(const std::string& markup) {
    Bytes data;
    int32_t caret = -1, selFrom = -1, selTo = -1;
    for (size_t i = 0; i < markup.size();) {
      const char c = markup[i];
      if (c == '[') {
        selFrom = static_cast<int32_t>(data.size());
      } else if (c == ']') {
        selTo = static_cast<int32_t>(data.size()) - 1;
      } else if (c == '{') {
        caret = static_cast<int32_t>(data.size());
      } else if (std::isxdigit(static_cast<unsigned char>(c))) {
        data.push_back(static_cast<uint8_t>(std::stoi(markup.substr(i, 2), nullptr, 16)));
        i += 2;
        continue;
      }
      ++i;
    }
    Load(data);
    if (data.empty()) return;
    if (caret < 0) caret = selFrom >= 0 ? selFrom : 0;
    Ed->SetSelStart(caret);
    if (selFrom >= 0) Ed->SetSelEnd(caret == selFrom ? selTo : selFrom);
  }

  // The control's bytes, selection and caret in the markup.
  std::string State() {
    const Bytes data = Document();
    const int32_t caret = Ed->GetPosAtCell(Ed->Col(), Ed->Row());
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
      const auto p = static_cast<int32_t>(i);
      if (!out.empty()) out += ' ';
      if (p == Ed->SelMin()) out += '[';
      if (p == Ed->SelAnchor() && p != caret) out += '^';
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", data[i]);
      out += p == caret ? std::string("{") + hex + "}" : std::string(hex);
      if (p == Ed->SelMax()) out += ']';
    }
    return out;
  }
};

}  // namespace byteloom::test
