// SPDX-License-Identifier: GPL-3.0-or-later
// TSearchReplace: the shared dialog of find, replace, goto, binary edit and
// bookmarks. One instance for the program; every command shows only its own
// tab. The edit boxes keep their texts between showings. The grid on the
// "Bookmarks" tab shows and edits the program's bookmark table.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>

#include "control/bookmarks.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace byteloom {

class TDocumentList;
class TFrameLink;

// The pages of the dialog: each command shows one of them.
enum class TSearchPage : uint8_t { spFind, spReplace, spGoto, spBinaryEdit, spBookmarks };

class TSearchReplace : public QDialog {
 public:
  explicit TSearchReplace(QWidget* parent = nullptr);

  // The frame: its active document takes the binary edit's byte, its Save
  // button follows.
  void SetFrame(TFrameLink* frame, TDocumentList* documents) {
    FFrame = frame;
    FDocuments = documents;
  }
  // Makes only this page visible and the active one.
  void ShowOnly(TSearchPage page);
  // Sets the binary edit's byte: the eight bit boxes and the "Dez"/"Hex"
  // labels show it.
  void SetBinaryValue(uint8_t v);
  // The byte the binary edit holds (the bit boxes change it).
  uint8_t BinaryValue() const { return FBinaryValue; }

  // --- What the user asked for, as typed (in the windows' ANSI code page) ---
  std::string FindText() const;
  std::string ReplaceWhat() const;
  std::string ReplaceWith() const;
  bool ReplaceAllChosen() const;
  std::string GotoText() const;

  // --- Handlers ----------------------------------------------------------------
  void FormShow();
  void CheckBox2Click();
  void BitBtn5Click();
  void BitBtn6Click();
  void BitBtn7Click();
  void StringGrid1Click();
  void StringGrid1DblClick();
  void Button1Click();

  // --- Components --------------------------------------------------------------
  QTabWidget* PageControl1 = nullptr;
  QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr, *TabSheet4 = nullptr,
          *TabSheet5 = nullptr;
  // Find
  QPlainTextEdit* Memo1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLabel* FindMeaning = nullptr;  // what Edit1's expression searches for
  QPushButton *BitBtn1 = nullptr, *BitBtn2 = nullptr;
  // Replace
  QLabel *Label1 = nullptr, *Label2 = nullptr;
  QLineEdit *Edit2 = nullptr, *Edit3 = nullptr;
  QLabel *SearchMeaning = nullptr, *ReplaceMeaning = nullptr;  // what Edit2 and Edit3 mean
  QCheckBox* CheckBox1 = nullptr;
  QPushButton *BitBtn3 = nullptr, *BitBtn4 = nullptr;
  // Goto
  QLabel *Label4 = nullptr, *Label3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QPushButton *BitBtn5 = nullptr, *BitBtn6 = nullptr;
  // Binary Edit
  QLabel *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr, *Label9 = nullptr,
         *Label10 = nullptr, *Label11 = nullptr;
  std::array<QCheckBox*, 8> BitBoxes{};  // CheckBox2 (bit 8, value 128) ... CheckBox9 (bit 1, value 1)
  QPushButton *BitBtn7 = nullptr, *BitBtn8 = nullptr;
  // Bookmarks
  QTableWidget* StringGrid1 = nullptr;
  QLabel* Label12 = nullptr;
  QLineEdit* Edit5 = nullptr;
  QPushButton* Button1 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void CreateFindTabs();
  void CreateBinaryEditTab();
  void CreateBookmarksTab();
  // Shows the bookmark table in the grid.
  void RenderBookmarks();

  TFrameLink* FFrame = nullptr;
  TDocumentList* FDocuments = nullptr;
  uint8_t FBinaryValue = 0;  // the binary edit's byte
};

}  // namespace byteloom
