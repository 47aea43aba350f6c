// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/mainform.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

#include "compare/ui/Fcomp.h"
#include "compare/ui/sidebysideview.h"
#include "compare/ui/snapshotform.h"
#include "control/hexeditor.h"
#include "output/ui/Drucker.h"
#include "output/ui/hexexp.h"
#include "platform/numconv.h"
#include "platform/platform.h"
#include "shell/cmdline.h"
#include "shell/endsignals.h"
#include "shell/recentfiles.h"
#include "shell/ui/appforms.h"
#include "shell/ui/artwork.h"
#include "shell/ui/info.h"
#include "shell/ui/preferen.h"
#include "shell/ui/recoveryui.h"
#include "shell/ui/settings.h"
#include "ui/progress.h"
#include "ui/qhexeditor.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"
#include "shell/cmdline.h"
#include "shell/ui/processdlg.h"

namespace byteloom {

using namespace uibuild;

namespace {

const QString kMakerAddress = QStringLiteral("www.velmora-soft.example");
const QString kPublisherAddress = QStringLiteral("www.orvanta-shop.example");
const QString kHomepageAddress = QStringLiteral("http://www.velmora-soft.example");
const QString kSoftwarePage = QStringLiteral("http://www.velmora-soft.example/software");

const QString kTip5 = QStringLiteral("Anleitung zum Editor und zum \"richtigen\" cheaten unter Help -> Contents!");
const QString kTip6 = QStringLiteral(
    "Fragen zum Hex-Editieren, zu Hexzahlen, Binärzahlen oder Cheats? Antworten unter Help -> Contents!");

// The MDI client: paints the frame's background picture.
class TMdiClient final : public QMdiArea {
 public:
  explicit TMdiClient(TMainform& frame) : QMdiArea(&frame), FFrame(frame) {}

 protected:
  void paintEvent(QPaintEvent* event) override {
    Guarded([&] { PaintClientBackground(CoversBackground(event->region())); });
  }
  // Scrolling moves the windows' pixels, but the picture stays where it is:
  // all of it is painted anew (moved along, it would show twice).
  void scrollContentsBy(int dx, int dy) override {
    QMdiArea::scrollContentsBy(dx, dy);
    viewport()->update();
  }

 private:
  // The region holds every pixel of the background no window covers.
  bool CoversBackground(const QRegion& region) const {
    QRegion uncovered(viewport()->rect());
    for (const QMdiSubWindow* window : subWindowList())
      if (window->isVisible()) uncovered -= window->geometry();
    return (uncovered - region).isEmpty();
  }

  void PaintClientBackground(bool whole) {
    // A new tip for every paint of the whole background (resizing,
    // arranging, uncovering); partial repaints keep the picture as it was,
    // so the tip is never drawn in part over another one.
    if (whole || FFrame.TipText().isEmpty()) FFrame.ChooseTipAndStatus();
    // The picture is laid out on the frame's whole client area (toolbar and
    // status bar included) and drawn from the client window's corner.
    const int width = FFrame.width();
    const int height = FFrame.height() - (FFrame.menuBar()->isVisible() ? FFrame.menuBar()->height() : 0);
    const qreal ratio = viewport()->devicePixelRatioF();
    if (FLogo.isNull() || FLogo.devicePixelRatio() != ratio) FLogo = LogoPixmap(ratio);
    const QPixmap& logo = FLogo;
    const QSize logoSize = logo.deviceIndependentSize().toSize();
    const int x = (width - logoSize.width()) / 2;
    const int y = (height - logoSize.height()) / 2;
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(192, 192, 192));
    p.drawPixmap(x, y, logo);
    QFont font = p.font();
    font.setPointSize(9);
    p.setFont(font);
    p.setPen(QColor(255, 0, 0));
    const QString tip = FFrame.TipText();
    const int textWidth = p.fontMetrics().horizontalAdvance(tip);
    p.drawText(QPoint((width - textWidth) / 2, y + logoSize.height() + p.fontMetrics().ascent()), tip);
  }

  TMainform& FFrame;
  QPixmap FLogo;  // drawn for the screen's pixel ratio
};

}  // namespace

QString TipLine(int r) {
  switch (r) {
    case 0: return QStringLiteral("Orvanta includes about 9000 Cheats! ");
    case 1:
    case 3: return QStringLiteral("More Cheating-Tools? Use Orvanta! ") + kMakerAddress;
    case 2: return QStringLiteral("Order Orvanta now at: ") + kPublisherAddress;
    case 4: return QStringLiteral("This Editor is Freeware, so enjoy it!");
    case 5: return kTip5;
    default: return kTip6;
  }
}

QString StatusLine(int s) {
  switch (s) {
    case 0:
    case 1:
    case 2: return kHomepageAddress;
    case 3:
    case 4: return QStringLiteral("Updates & more: ") + kSoftwarePage;
    case 5: return kTip5;
    default: return kTip6;
  }
}

TMainform::TMainform(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Mainform"));
  setWindowTitle(QStringLiteral("Byteloom"));
  setWindowIcon(ProgramIcon());
  resize(640, 480);
  FOpenDialog = std::make_unique<TFileDialog>(QStringLiteral("OpenDialog1"), TFileDialog::TKind::fdOpen,
                                              QStringLiteral("All Files (*.*)|*.*|Executable Files (*.exe ; *.com)|*.exe;*.com"));
  FSaveDialog = std::make_unique<TFileDialog>(
      QStringLiteral("SaveDialog1"), TFileDialog::TKind::fdSave,
      QStringLiteral("All Files (*.*)|*.*|Executable Files (*.exe ; *.com)|*.exe;*.com|Text Files|*.txt"));
  OpenDialog1 = FOpenDialog.get();
  OpenDialog1->SetMultiSelect(true);
  SaveDialog1 = FSaveDialog.get();
  setAcceptDrops(true);

  auto generator = std::make_shared<std::mt19937>(static_cast<uint32_t>(QDateTime::currentMSecsSinceEpoch()));
  FRandom = [generator] { return std::uniform_int_distribution<int>(0, 6)(*generator); };

  FClient = new TMdiClient(*this);
  FClient->setObjectName(QStringLiteral("ClientWindow"));
  FClient->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FClient->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(FClient);
  connect(FClient, &QMdiArea::subWindowActivated, this,
          [this](QMdiSubWindow* window) { Guarded([&] { SubWindowActivated(window); }); });

  FSideBySide = new TSideBySideView(*FClient, [this](const QString& text) { FStatusLabel->setText(text); });
  FSideBySide->OnLockChanged = [this] { UpdateSideBySideItems(); };
  SideBySideChoice1 = new TSideBySideChoice(this);
  CreateMenus();
  CreateToolBar();

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setFixedHeight(19);
  FStatusLabel = new QLabel(StatusBar1);
  FStatusLabel->setObjectName(QStringLiteral("StatusText"));
  StatusBar1->addWidget(FStatusLabel, 1);
  setStatusBar(StatusBar1);

  // FormCreate
  ProgramDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  MergeMenus();
  UpdateSideBySideItems();
}

TMainform::~TMainform() {
  // The editor windows go first, while the frame they talk to still exists.
  for (Teditform* window : EditWindows()) delete window;
}

void TMainform::AddSnapshot(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn) {
  if (FForms.SnapshotForm) FForms.SnapshotForm->AddVersion(std::move(source), caption, shownIn);
}

void TMainform::SnapshotNotice(const std::string& text, bool show) {
  if (FForms.SnapshotForm) FForms.SnapshotForm->ShowNotice(text, show);
}

void TMainform::CreateMenus() {
  MainMenu1 = menuBar();
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

  Datei1 = TopMenu(this, "Datei1", QStringLiteral("&File"));
  Neu1 = Item(Datei1, "Neu1", QStringLiteral("&New"), "Ctrl+N");
  ffnen1 = Item(Datei1, "ffnen1", QStringLiteral("&Open"), "Ctrl+O");
  OpenProcess1 = Item(Datei1, "OpenProcess1", QStringLiteral("Open p&rocess..."));
  StartProgram1 = Item(Datei1, "StartProgram1", QStringLiteral("Start &program..."));
  N1 = Separator(Datei1, "N1");
  Restore1 = Item(Datei1, "Restore1", QStringLiteral("Restore"));
  N6 = Separator(Datei1, "N6");
  Beende1 = Item(Datei1, "Beende1", QStringLiteral("&Exit"), "Alt+F4");
  N5 = Separator(Datei1, "N5");
  N5->setVisible(false);
  RecentFileMenuItems(Datei1, {&File1, &File2, &File3, &File4, &File5});

  View1 = TopMenu(this, "View1", QStringLiteral("&View"));
  Preferences1 = Item(View1, "Preferences1", QStringLiteral("&Preferences"));

  Tools1 = TopMenu(this, "Tools1", QStringLiteral("&Tools"));
  HexCalculator1 = Item(Tools1, "HexCalculator1", QStringLiteral("&Calculator"));
  N3 = Separator(Tools1, "N3");
  Compare1 = Item(Tools1, "Compare1", QStringLiteral("&Compare..."), "Alt+F6");
  CompareAgain1 = Item(Tools1, "CompareAgain1", QStringLiteral("Compare &Again"), "F6");
  OnClick(Item(Tools1, "Snapshots1", QStringLiteral("Find a &value across snapshots...")),
          [this] { if (FForms.SnapshotForm) FForms.SnapshotForm->ShowSearch(); });
  TakeSnapshot1 = Item(Tools1, "TakeSnapshot1", QStringLiteral("&Take snapshot"), "F8");
  OnClick(TakeSnapshot1, [this] { if (FForms.SnapshotForm) FForms.SnapshotForm->TakeSnapshotCommand(); });
  // The fields and checksums of the active document.
  const auto onActive = [this](void (Teditform::*command)()) {
    return [this, command] {
      if (Teditform* window = ActiveMDIChild()) (window->*command)();
      else ShowWarning(this, "Open a document first.");
    };
  };
  OnClick(Item(Tools1, "Fields1", QStringLiteral("&Fields...")), onActive(&Teditform::Fields1Click));
  OnClick(Item(Tools1, "ChecksumOfSelection1", QStringLiteral("Chec&ksum of selection...")),
          onActive(&Teditform::ChecksumOfSelection1Click));
  OnClick(Item(Tools1, "Regions1", QStringLiteral("Memory &regions...")), onActive(&Teditform::Regions1Click));
  Compare1->setEnabled(false);
  CompareAgain1->setEnabled(false);
  Separator(Tools1, "N7");
  SideBySide1 = Item(Tools1, "SideBySide1", QStringLiteral("Compare &side by side..."));
  NextDifference1 = Item(Tools1, "NextDifference1", QStringLiteral("&Next difference"), "F7");
  PreviousDifference1 = Item(Tools1, "PreviousDifference1", QStringLiteral("&Previous difference"), "Shift+F7");
  AlignHere1 = Item(Tools1, "AlignHere1", QStringLiteral("Align &here"));
  Unlock1 = Item(Tools1, "Unlock1", QStringLiteral("&Unlock"));
  AlignHere1->setStatusTip(TSideBySideView::AlignHint());
  OnClick(SideBySide1, [this] { SideBySide1Click(); });
  OnClick(NextDifference1, [this] { FSideBySide->NextDifference(true); });
  OnClick(PreviousDifference1, [this] { FSideBySide->NextDifference(false); });
  OnClick(AlignHere1, [this] { FSideBySide->AlignHere(); });
  OnClick(Unlock1, [this] { FSideBySide->Unlock(); });

  Window1 = TopMenu(this, "Window1", QStringLiteral("&Window"));
  Tile1 = Item(Window1, "Tile1", QStringLiteral("&Tile"), "Alt+F2");
  Cascalde1 = Item(Window1, "Cascalde1", QStringLiteral("&Cascalde"), "Ctrl+F2");
  ArrageIcons1 = Item(Window1, "ArrageIcons1", QStringLiteral("&Arrage Icons"));
  Window1->menuAction()->setVisible(false);

  Hilfe1 = TopMenu(this, "Hilfe1", QStringLiteral("&Help"));
  Hilfethemen1 = Item(Hilfe1, "Hilfethemen1", QStringLiteral("&Contents"), "F1");
  N4 = Separator(Hilfe1, "N4");
  Homepage1 = Item(Hilfe1, "Homepage1", QStringLiteral("&Homepage"));
  eMail1 = Item(Hilfe1, "eMail1", QStringLiteral("&eMail"));
  N2 = Separator(Hilfe1, "N2");
  ber1 = Item(Hilfe1, "ber1", QStringLiteral("&About"));

  connect(Datei1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Datei1Click(); }); });
  connect(Window1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Window1Popup(); }); });
  OnClick(Neu1, [this] { Neu1Click(); });
  OnClick(ffnen1, [this] { ffnen1Click(); });
  OnClick(OpenProcess1, [this] { OpenProcess1Click(); });
  OnClick(StartProgram1, [this] { StartProgram1Click(); });
  OnClick(Beende1, [this] { Beende1Click(); });
  const std::array<QAction*, 5> files = RecentFileItems();
  for (int i = 0; i < 5; ++i) OnClick(files[static_cast<size_t>(i)], [this, i] { FileClick(i); });
  OnClick(Preferences1, [this] { Preferences1Click(); });
  OnClick(HexCalculator1, [this] { HexCalculator1Click(); });
  OnClick(Tile1, [this] { Tile1Click(); });
  OnClick(Cascalde1, [this] { Cascalde1Click(); });
  OnClick(ArrageIcons1, [this] { ArrageIcons1Click(); });
  OnClick(ber1, [this] { ber1Click(); });
  OnClick(Compare1, [this] { Compare1Click(); });
  OnClick(CompareAgain1, [this] { CompareAgain1Click(); });
  OnClick(Restore1, [this] { Restore1Click(); });
  OnClick(Hilfethemen1, [this] { Hilfethemen1Click(); });
  OnClick(Homepage1, [this] { Homepage1Click(); });
  OnClick(eMail1, [this] { eMail1Click(); });
}

void TMainform::ConnectToolButton(QToolButton* button, std::function<void()> handler) {
  connect(button, &QToolButton::clicked, this, [handler] { Guarded(handler); });
}

void TMainform::CreateToolBar() {
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setFixedHeight(25);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
  addToolBar(Qt::TopToolBarArea, ToolBar1);
  ImageList1 = ToolbarImages();

  auto button = [this](const char* name, const char* hint, int image, bool enabled) {
    auto* b = new QToolButton(ToolBar1);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(QLatin1String(hint));
    b->setIcon(ImageList1[static_cast<size_t>(image)]);
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    b->setFixedSize(23, 22);
    b->setEnabled(enabled);
    ToolBar1->addWidget(b);
    return b;
  };
  auto separator = [this] {
    auto* gap = new QWidget(ToolBar1);
    gap->setFixedWidth(8);
    ToolBar1->addWidget(gap);
  };
  ToolButton1 = button("ToolButton1", "New", 0, true);
  ToolButton2 = button("ToolButton2", "Open", 1, true);
  ToolButton4 = button("ToolButton4", "Save", 2, false);
  ToolButton5 = button("ToolButton5", "Print", 3, false);
  separator();
  ToolButton6 = button("ToolButton6", "Cut", 4, false);
  ToolButton7 = button("ToolButton7", "Copy", 5, false);
  ToolButton9 = button("ToolButton9", "Paste", 6, false);
  ToolButton10 = button("ToolButton10", "Undo", 7, false);
  separator();
  ToolButton11 = button("ToolButton11", "Search", 8, false);
  ToolButton13 = button("ToolButton13", "Search again", 9, false);
  ToolButton16 = button("ToolButton16", "Compare + Compare o'meter", 12, false);
  ToolButton15 = button("ToolButton15", "Compare again", 11, false);
  ToolButton17 = button("ToolButton17", "Compare side by side", 0, false);
  ToolButton17->setIcon(SideBySideImage());
  ToolButton18 = button("ToolButton18", "Take snapshot", 0, true);
  ToolButton18->setIcon(SnapshotImage());
  separator();
  ToolButton14 = button("ToolButton14", "Help", 10, true);

  // Buttons that act on the active editor window invoke its menu items.
  auto forward = [this](QToolButton* b, QAction* Teditform::*item, bool refreshEditMenu) {
    ConnectToolButton(b, [this, item, refreshEditMenu] {
      Teditform* window = ActiveMDIChild();
      if (!window) return;
      (window->*item)->trigger();
      if (refreshEditMenu && !window->IsClosing()) window->Bearbeiten1Click();
    });
  };
  ConnectToolButton(ToolButton1, [this] { Neu1Click(); });
  ConnectToolButton(ToolButton2, [this] { ffnen1Click(); });
  forward(ToolButton4, &Teditform::Speichern1, false);
  forward(ToolButton5, &Teditform::Print1, false);
  forward(ToolButton6, &Teditform::Ausschneiden1, true);
  forward(ToolButton7, &Teditform::Kopieren1, true);
  forward(ToolButton9, &Teditform::Einfgen1, true);
  forward(ToolButton10, &Teditform::Rckgngig1, true);
  forward(ToolButton11, &Teditform::Find1, false);
  forward(ToolButton13, &Teditform::FindNext1, false);
  ConnectToolButton(ToolButton16, [this] { Compare1->trigger(); });
  ConnectToolButton(ToolButton15, [this] { CompareAgain1->trigger(); });
  ConnectToolButton(ToolButton17, [this] { SideBySide1->trigger(); });
  ConnectToolButton(ToolButton18, [this] { TakeSnapshot1->trigger(); });
  ConnectToolButton(ToolButton14, [this] { Hilfethemen1->trigger(); });
}

// ---------------------------------------------------------------------------
// Editor windows
// ---------------------------------------------------------------------------

std::vector<Teditform*> TMainform::EditWindows() const {
  std::vector<Teditform*> windows;
  const QList<QMdiSubWindow*> list = FClient->subWindowList(QMdiArea::StackingOrder);
  // The list runs from the bottom to the top: the active window is last.
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (auto* window = dynamic_cast<Teditform*>(*it); window && !window->IsClosing()) windows.push_back(window);
  return windows;
}

int TMainform::MDIChildCount() const { return static_cast<int>(EditWindows().size()); }

Teditform* TMainform::MDIChildren(int index) const {
  const std::vector<Teditform*> windows = EditWindows();
  if (index < 0 || index >= static_cast<int>(windows.size())) return nullptr;
  return windows[static_cast<size_t>(index)];
}

Teditform* TMainform::ActiveMDIChild() const {
  auto* window = dynamic_cast<Teditform*>(FClient->currentSubWindow());
  if (window && !window->IsClosing()) return window;
  return nullptr;
}

THexEditor& TMainform::DocumentEditor(int index) const {
  Teditform* window = MDIChildren(index);
  if (!window) throw std::out_of_range("No document with index " + std::to_string(index));
  return window->Editor();
}

std::string TMainform::DocumentCaption(int index) const {
  Teditform* window = MDIChildren(index);
  return window ? window->DocumentName().toStdString() : std::string();
}

int TMainform::ActiveDocument() const {
  const std::vector<Teditform*> windows = EditWindows();
  const auto it = std::find(windows.begin(), windows.end(), ActiveMDIChild());
  return it == windows.end() ? -1 : static_cast<int>(it - windows.begin());
}

Teditform* TMainform::CreateEditWindow(const QString& caption) {
  auto* window = new Teditform(*this);
  FClient->addSubWindow(window);
  window->SetDocumentName(window->LoadFailed() ? QStringLiteral("New File") : caption);
  // Wider where the value panel needs more room at the font in use.
  window->resize(std::max(565, window->minimumSizeHint().width()), 380);
  // New windows cascade down from the top-left corner, as MDI windows do,
  // starting again at the top once a window would leave the client area.
  const int step = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
  const int room = std::max(1, std::min((FClient->viewport()->width() - 565) / step,
                                        (FClient->viewport()->height() - 380) / step) + 1);
  const int k = (MDIChildCount() - 1) % room;
  window->move(k * step, k * step);
  window->show();
  FClient->setActiveSubWindow(window);
  window->HexEditor1->setFocus();
  return window;
}

void TMainform::SubWindowActivated(QMdiSubWindow*) {
  // While another top-level window has the focus no subwindow counts as
  // active; the current one keeps its menus.
  MergeMenus();
  UpdateSideBySideItems();
  Teditform* active = ActiveMDIChild();
  if (active && active != FLastActive) {
    FLastActive = active;
    active->FormActivate();
  }
}

void TMainform::MergeMenus() {
  MainMenu1->clear();
  if (Teditform* active = ActiveMDIChild()) {
    for (QMenu* menu : active->MainMenu1()) MainMenu1->addMenu(menu);
  } else {
    MainMenu1->addMenu(Datei1);
    MainMenu1->addMenu(View1);
  }
  MainMenu1->addMenu(Tools1);
  MainMenu1->addMenu(Window1);
  MainMenu1->addMenu(Hilfe1);
}

// ---------------------------------------------------------------------------
// Start and end
// ---------------------------------------------------------------------------

void TMainform::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  Guarded([this] { FormShow(); });
}

void TMainform::FormShow() {
  if (FForms.Preferences) {
    LoadSettings(*this, *FForms.Preferences);
    FSideBySide->SetDifferenceColor(FForms.Preferences->Values().DifferenceColor);
  }
  OfferRecovery(*this);
  const TCommandLine line = ParseCommandLine(FParams, [](const std::string& name) { return FileExists(name); });
  Teditform* first = nullptr;
  for (const std::string& file : line.Files) {
    // The name's bytes open the file; its decoded text is only shown.
    OpenDialog1->SetPath(file);
    Teditform* window = CreateEditWindow(OpenDialog1->FileName());
    if (!first) first = window;
  }
  if (first) FClient->setActiveSubWindow(first);
  if (!first || !line.Offset) return;
  if (!line.Offset->empty()) {
    const int64_t offset = TryStrToInt64(HexPrefixToDollar(*line.Offset)).value_or(-1);
    first->Editor().Seek(offset, 0, true);
  }
  first->UpdateValueInfo();
}

void TMainform::closeEvent(QCloseEvent* event) {
  bool mayClose = false;
  Guarded([&] {
    for (Teditform* window : EditWindows())
      if (!window->AskSaveChanges()) return;
    mayClose = true;
  });
  if (!mayClose) {
    event->ignore();
    return;
  }
  Guarded([this] { FormClose(); });
  event->accept();
  QCoreApplication::quit();
}

void TMainform::WatchEndSignals(std::function<void(int)> exit) {
  FExit = std::move(exit);
  if (FEndSignals) return;
  FEndSignals = new QSocketNotifier(byteloom::WatchEndSignals(), QSocketNotifier::Read, this);
  connect(FEndSignals, &QSocketNotifier::activated, this, [this] {
    if (TakeEndSignal() != 0) EndSession();
  });
}

void TMainform::EndSession() {
  if (TLongWork::Running() > 0) {  // it stops at its next step; the end follows
    TLongWork::StopAll();
    QTimer::singleShot(100, this, [this] { EndSession(); });
    return;
  }
  try {
    for (Teditform* window : EditWindows())
      if (!window->Editor().Modified()) delete window;
    const QString error = FForms.Preferences ? SaveSettings(*this, *FForms.Preferences) : QString();
    if (!error.isEmpty()) throw std::runtime_error(error.toStdString());
  } catch (...) {
    std::fprintf(stderr, "byteloom: %s\n", ExceptionText(std::current_exception()).c_str());
  }
  FExit(0);
}

void TMainform::FormClose() {
  if (!FForms.Preferences) return;
  const QString error = SaveSettings(*this, *FForms.Preferences);
  if (!error.isEmpty()) Dialogs().MessageDlg(this, error, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

// ---------------------------------------------------------------------------
// What the editor windows use of the frame
// ---------------------------------------------------------------------------

namespace {

// The buttons and items behind each of the frame's items.
struct TItemWidgets {
  QToolButton* Button = nullptr;
  QAction* Action = nullptr;
};

}  // namespace

static TItemWidgets ItemWidgets(const TMainform& f, TFrameItem item) {
  switch (item) {
    case TFrameItem::fiSave: return {f.ToolButton4};
    case TFrameItem::fiPrint: return {f.ToolButton5};
    case TFrameItem::fiCut: return {f.ToolButton6};
    case TFrameItem::fiCopy: return {f.ToolButton7};
    case TFrameItem::fiPaste: return {f.ToolButton9};
    case TFrameItem::fiUndo: return {f.ToolButton10};
    case TFrameItem::fiSearch: return {f.ToolButton11};
    case TFrameItem::fiSearchAgain: return {f.ToolButton13};
    case TFrameItem::fiCompare: return {f.ToolButton16, f.Compare1};
    case TFrameItem::fiCompareAgain: return {f.ToolButton15, f.CompareAgain1};
    case TFrameItem::fiWindowMenu: return {nullptr, f.Window1->menuAction()};
  }
  return {};
}

void TMainform::SetItemEnabled(TFrameItem item, bool enabled) {
  const TItemWidgets w = ItemWidgets(*this, item);
  if (item == TFrameItem::fiWindowMenu) {
    w.Action->setVisible(enabled);
    return;
  }
  if (w.Button) w.Button->setEnabled(enabled);
  if (w.Action) w.Action->setEnabled(enabled);
}

bool TMainform::ItemEnabled(TFrameItem item) const {
  const TItemWidgets w = ItemWidgets(*this, item);
  if (item == TFrameItem::fiWindowMenu) return w.Action->isVisible();
  return w.Button ? w.Button->isEnabled() : w.Action->isEnabled();
}

void TMainform::RunCommand(TFrameCommand command, int index) {
  switch (command) {
    case TFrameCommand::fcNew: Neu1->trigger(); break;
    case TFrameCommand::fcOpen: ffnen1->trigger(); break;
    case TFrameCommand::fcRestore: Restore1->trigger(); break;
    case TFrameCommand::fcRecentFile:
      if (index >= 0 && index < 5) RecentFileItems()[static_cast<size_t>(index)]->trigger();
      break;
    case TFrameCommand::fcPreferences: ShowPreferences(); break;
    case TFrameCommand::fcExit: close(); break;
    case TFrameCommand::fcFileProperties: ShowFileProperties(); break;
    case TFrameCommand::fcOpenProcess: OpenProcess1->trigger(); break;
    case TFrameCommand::fcStartProgram: StartProgram1->trigger(); break;
  }
}

std::array<TRecentEntry, 5> TMainform::RecentEntries() const {
  std::array<TRecentEntry, 5> entries;
  for (int k = 0; k < 5; ++k)
    entries[static_cast<size_t>(k)] = {QString::fromStdString(FRecentFiles.Name(k)), FRecentFiles.Shown(k)};
  return entries;
}

bool TMainform::RecentSeparatorShown() const { return FRecentFiles.SeparatorShown(); }

void TMainform::ShowRecentSeparator() {
  FRecentFiles.ShowSeparator();
  N5->setVisible(true);
}

TSearchReplace& TMainform::SearchDialog() { return *FForms.SearchReplace; }
QDialog& TMainform::PrintForm() { return *FForms.DruckerForm; }
QDialog& TMainform::ExportForm() { return *FForms.HexExport; }

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void TMainform::Neu1Click() {
  OpenDialog1->SetFileName(QString());
  CreateEditWindow(QStringLiteral("New File"));
}

void TMainform::ffnen1Click() {
  if (!OpenDialog1->Execute(this)) return;
  const std::vector<std::string> paths = OpenDialog1->Paths();  // each window's open changes the dialog
  OpenPaths(paths);
}

void TMainform::OpenProcess1Click() {
  TProcessDialog dialog(this);
  if (Dialogs().ShowModal(dialog) != TModalResult::mrOk || dialog.ChosenPid() == 0) return;
  OpenProcessWindow(dialog.ChosenPid(), nullptr);
}

void TMainform::StartProgram1Click() {
  QString line = FLastProgram;
  if (!Dialogs().InputQuery(this, QStringLiteral("Start program"), QStringLiteral("Program and its arguments:"), line))
    return;
  const std::vector<std::string> words = SplitProgramLine(line.toStdString());
  if (words.empty()) throw std::runtime_error("Name the program to start (a quote is not closed, or nothing was typed).");
  FLastProgram = line;
  auto child = std::make_unique<TChildProgram>(
      TChildProgram::Start(words[0], std::vector<std::string>(words.begin() + 1, words.end())));
  const int pid = child->Pid();
  OpenProcessWindow(pid, std::move(child));
}

void TMainform::OpenProcessWindow(int pid, std::unique_ptr<TChildProgram> child) {
  TProcess process = TProcess::Attach(pid);
  OpenDialog1->SetFileName(QString());
  CreateEditWindow(QStringLiteral("New File"))->OpenProcess(std::move(process), std::move(child));
}

void TMainform::OpenPaths(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    OpenDialog1->SetPath(path);
    const QString name = OpenDialog1->FileName();
    CreateEditWindow(name);
    FRecentFiles.Add(name.toStdString());
  }
  RenderRecentFiles();
}

namespace {

// The local files among the dropped data, as the file system names them.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  return paths;
}

}  // namespace

void TMainform::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void TMainform::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = DroppedFiles(event->mimeData());
  if (paths.empty()) return;
  event->acceptProposedAction();
  Guarded([&] { OpenPaths(paths); });
}

void TMainform::RenderRecentFiles() {
  const std::array<QAction*, 5> items = RecentFileItems();
  for (int k = 0; k < 5; ++k) {
    items[static_cast<size_t>(k)]->setText(QString::fromStdString(FRecentFiles.Name(k)));
    items[static_cast<size_t>(k)]->setVisible(FRecentFiles.Shown(k));
  }
  N5->setVisible(FRecentFiles.SeparatorShown());
}

void TMainform::FileClick(int index) {
  const QString name = QString::fromStdString(FRecentFiles.Name(index));
  OpenDialog1->SetFileName(name);
  CreateEditWindow(name);
}

void TMainform::Datei1Click() {
  if (!FRecentFiles.Name(0).empty()) ShowRecentSeparator();
}

void TMainform::Beende1Click() { close(); }

void TMainform::Preferences1Click() { ShowPreferences(); }

void TMainform::ShowPreferences() {
  if (!FForms.Preferences) return;
  Dialogs().ShowModal(*FForms.Preferences);
  FSideBySide->SetDifferenceColor(FForms.Preferences->Values().DifferenceColor);
}

bool TMainform::ShowValueInfoPreference() const {
  return FForms.Preferences ? FForms.Preferences->Values().ShowValueInfo : true;
}

void TMainform::HexCalculator1Click() {
  // The first desktop calculator found; a failure is ignored.
  static const char* const kCalculators[] = {"gnome-calculator", "kcalc", "galculator", "mate-calc",
                                             "qalculate-gtk", "qalculate-qt", "xcalc"};
  for (const char* name : kCalculators) {
    const QString path = QStandardPaths::findExecutable(QLatin1String(name));
    if (!path.isEmpty()) {
      QProcess::startDetached(path, {});
      return;
    }
  }
}

void TMainform::Tile1Click() { FClient->tileSubWindows(); }

void TMainform::Cascalde1Click() { FClient->cascadeSubWindows(); }

void TMainform::ArrageIcons1Click() {
  // Minimised windows in a row along the bottom of the client area.
  int x = 0;
  const int bottom = FClient->viewport()->height();
  for (QMdiSubWindow* window : FClient->subWindowList(QMdiArea::CreationOrder)) {
    if (!window->isMinimized()) continue;
    const QSize size = window->size();
    window->move(x, bottom - size.height());
    x += size.width();
  }
}

void TMainform::ber1Click() {
  if (FForms.Infoform) Dialogs().ShowModal(*FForms.Infoform);
}

void TMainform::Compare1Click() {
  if (FForms.Fcompare) FForms.Fcompare->ShowCompare();
}

void TMainform::CompareAgain1Click() {
  if (FForms.Fcompare) FForms.Fcompare->CompareAgain();
}

void TMainform::SideBySide1Click() {
  if (MDIChildCount() < 2) return;
  SideBySideChoice1->Prepare(*this);
  if (Dialogs().ShowModal(*SideBySideChoice1) != TModalResult::mrOk) return;
  if (SideBySideChoice1->First() == SideBySideChoice1->Second()) {
    Dialogs().MessageDlg(this, QStringLiteral("Please choose 2 different Files!"), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  LockSideBySide(SideBySideChoice1->First(), SideBySideChoice1->Second(), 0, SideBySideChoice1->FindInsertions());
}

void TMainform::LockSideBySide(int index1, int index2, int64_t shift, bool insertions) {
  Teditform* left = MDIChildren(index1);
  Teditform* right = MDIChildren(index2);
  if (left && right && left != right) FSideBySide->Lock(*left, *right, shift, insertions);
}

void TMainform::UpdateSideBySideItems() {
  SideBySide1->setEnabled(MDIChildCount() >= 2);
  ToolButton17->setEnabled(SideBySide1->isEnabled());
  for (QAction* item : {NextDifference1, PreviousDifference1, AlignHere1, Unlock1}) item->setEnabled(FSideBySide->Locked());
}

void TMainform::Window1Popup() {
  // The list of editor windows under the arrangement commands.
  for (QAction* item : FWindowListItems) {
    Window1->removeAction(item);
    delete item;
  }
  FWindowListItems.clear();
  const QList<QMdiSubWindow*> windows = FClient->subWindowList(QMdiArea::CreationOrder);
  std::vector<Teditform*> open;
  for (QMdiSubWindow* w : windows)
    if (auto* window = dynamic_cast<Teditform*>(w); window && !window->IsClosing()) open.push_back(window);
  if (open.empty()) return;
  auto* separator = new QAction(Window1);
  separator->setSeparator(true);
  Window1->addAction(separator);
  FWindowListItems.append(separator);
  int number = 1;
  for (Teditform* window : open) {
    QString caption = window->DocumentName() + QString::fromStdString(CaptionMarks(window->Editor().Modified()));
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    auto* item = new QAction(QStringLiteral("&%1 %2").arg(number++).arg(caption), Window1);
    item->setCheckable(true);
    item->setChecked(window == ActiveMDIChild());
    QPointer<Teditform> target = window;
    connect(item, &QAction::triggered, this, [this, target] {
      Guarded([&] {
        if (target) FClient->setActiveSubWindow(target);
      });
    });
    Window1->addAction(item);
    FWindowListItems.append(item);
  }
}

void TMainform::ChooseTipAndStatus() {
  FTip = TipLine(FRandom());
  FStatusLabel->setText(StatusLine(FRandom()));
}

QString TMainform::StatusText() const { return FStatusLabel->text(); }

}  // namespace byteloom
