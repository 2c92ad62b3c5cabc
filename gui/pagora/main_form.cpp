// Pagora's main window: its parts and layout, the menus, and the settings read at start and
// written at exit.
#include "pagora/main_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "book/book_builder.h"
#include "main_form_helpers.h"
#include "pagora/about.h"
#include "pagora/unit4.h"
#include "pagora/upload.h"
#include "settings/inifile.h"
#include "viewer/view.h"
#include "widgets/dir_list_box.h"
#include "widgets/failure_text.h"
#include "widgets/file_list_box.h"
#include "widgets/filename_edit.h"
#include "widgets/filter_combo_box.h"
#include "widgets/formstorage.h"
#include "widgets/glyphs.h"
#include "widgets/prompts.h"
#include "widgets/status_gauge.h"

namespace pagora {

using namespace mainform;

namespace {

QString& programFolderOverride() {
  static QString folder;
  return folder;
}

// Hints keep the system's line breaks; a tool tip wants plain line feeds.
QString hint(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

QString TForm1::programFolder() {
  if (!programFolderOverride().isEmpty()) return programFolderOverride();
  return QCoreApplication::applicationDirPath();
}

void TForm1::setProgramFolder(const QString& folder) {
  programFolderOverride() = folder;
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), LzhArchiver1(new TBookBuilder) {
  buildWindow();
  buildMenus();
  LzhArchiver1->OnShowProgress = [this](int& percent) { LzhArchiver1ShowProgress(percent); };

  storeLayout();

  FormCreate();

  // The other windows, in the program's order after the main window.
  Form2 = new TForm2(this);
  frAbout = new TfrAbout(this);
  Form3 = new TForm3(this);
  Form4 = new TForm4(this);
}

TForm1::~TForm1() {
  // The storage saves the layout as it goes, which needs the window's parts still alive.
  delete FormStorage1;
  FormStorage1 = nullptr;
  FormDestroy();
}

void TForm1::buildWindow() {
  setWindowTitle(tr("to Nimbrel"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  buildToolBar();
  buildPanes();
  connectPanes();
}

void TForm1::buildToolBar() {
  auto* toolbar = new QToolBar;
  toolbar->setMovable(false);
  toolbar->setFloatable(false);
  toolbar->setIconSize(QSize(24, 24));
  auto button = [toolbar](const char* name, Glyph glyph, const QString& hint) {
    auto* b = new QToolButton;
    b->setObjectName(QString::fromUtf8(name));
    b->setIcon(glyphIcon(glyph));
    b->setAutoRaise(true);
    if (!hint.isEmpty()) b->setToolTip(hint);
    toolbar->addWidget(b);
    return b;
  };
  SpeedButton1 = button("SpeedButton1", Glyph::Go, tr("Go Go Go !!!"));
  SpeedButton2 = button("SpeedButton2", Glyph::PvmPath, tr("Path to PVM"));
  SpeedButton3 = button("SpeedButton3", Glyph::PvManager, tr("PV Manager"));
  SpeedButton7 = button("SpeedButton7", Glyph::Settings, tr("Config Corvane"));
  SpeedButton8 = button("SpeedButton8", Glyph::Send, tr("Run compress & Corvane"));
  SpeedButton4 = button("SpeedButton4", Glyph::About, tr("About"));
  // The outside library's upload test: never shown, kept among the window's parts.
  SpeedButton6 = new QToolButton(this);
  SpeedButton6->setObjectName(QStringLiteral("SpeedButton6"));
  SpeedButton6->setToolTip(tr("About"));
  SpeedButton6->setVisible(false);
  auto* spacer = new QWidget;
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  toolbar->addWidget(spacer);
  SpeedButton5 = button("SpeedButton5", Glyph::Exit, QString());
  addToolBar(Qt::TopToolBarArea, toolbar);

  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
  connect(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
  connect(SpeedButton5, &QToolButton::clicked, this, [this] { close(); });
  connect(SpeedButton7, &QToolButton::clicked, this, [this] { SpeedButton7Click(); });
  connect(SpeedButton8, &QToolButton::clicked, this, [this] { SpeedButton8Click(); });
}

// The middle pane: the files of the folder open in the tree, under the filter.
QWidget* TForm1::buildFilePane() {
  Panel4 = new QWidget;
  Panel4->setObjectName(QStringLiteral("Panel4"));
  FileListBox1 = new TFileListBox;
  FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
  FileListBox1->setToolTip(hint(tr(
      "Drag files to the right panel\r\nDouble click - view text\r\nRight click - context menu")));
  FilterComboBox1 = new TFilterComboBox;
  FilterComboBox1->setObjectName(QStringLiteral("FilterComboBox1"));
  FilterComboBox1->setToolTip(tr("Filter"));
  QString filter = tr("Text files (*.txt)") + QStringLiteral("|*.txt;*.|") +
                   tr("Html files (*.*htm*)") + QStringLiteral("|*.*htm*|") +
                   tr("All Files (*.*)") + QStringLiteral("|*.*");
  if (canImportBooks()) {
    filter += u'|' + tr("Books (*.fb2 *.epub)") + QStringLiteral("|*.fb2;*.fb2.zip;*.epub");
  }
  FilterComboBox1->setFilter(filter);
  auto* panel4Layout = new QVBoxLayout(Panel4);
  panel4Layout->setContentsMargins(0, 0, 0, 0);
  panel4Layout->setSpacing(2);
  panel4Layout->addWidget(FileListBox1, 1);
  panel4Layout->addWidget(FilterComboBox1);
  return Panel4;
}

// The right pane: the size line, the chosen list and the book's name.
QWidget* TForm1::buildChosenPane() {
  auto* right = new QWidget;
  StaticText1 = new QLabel(tr("Size"));
  StaticText1->setObjectName(QStringLiteral("StaticText1"));
  StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  ListBox1 = new TChosenListBox;
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setToolTip(hint(tr("Double click - view text\r\nRight click - context menu")));
  FilenameEdit1 = new TFilenameEdit;
  FilenameEdit1->setObjectName(QStringLiteral("FilenameEdit1"));
  FilenameEdit1->setText(QStringLiteral("book"));
  FilenameEdit1->setToolTip(tr("Select target archive"));
  FilenameEdit1->Filter = tr("Archive (*.lzh)");
  {
    QFont f = FilenameEdit1->edit()->font();
    f.setBold(true);
    FilenameEdit1->edit()->setFont(f);
    QPalette p = FilenameEdit1->edit()->palette();
    p.setColor(QPalette::Text, QColor(128, 0, 0));
    FilenameEdit1->edit()->setPalette(p);
  }
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->setSpacing(2);
  rightLayout->addWidget(StaticText1);
  rightLayout->addWidget(ListBox1, 1);
  rightLayout->addWidget(FilenameEdit1);
  return right;
}

// The folder tree, the file pane and the chosen pane side by side, the gauge below, and the
// window's first size and place.
void TForm1::buildPanes() {
  DirListBox = new TDirectoryListBox;
  DirListBox->setObjectName(QStringLiteral("DirListBox"));
  DirListBox->setToolTip(tr("Folders"));
  QWidget* filePane = buildFilePane();
  QWidget* chosenPane = buildChosenPane();

  Splitter = new QSplitter(Qt::Horizontal);
  Splitter->setObjectName(QStringLiteral("Splitter"));
  Splitter->setHandleWidth(3);
  Splitter->setChildrenCollapsible(false);
  Splitter->addWidget(DirListBox);
  Splitter->addWidget(filePane);
  Splitter->addWidget(chosenPane);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 0);
  Splitter->setStretchFactor(2, 1);
  setCentralWidget(Splitter);

  StatusBar1 = new TStatusBarGauge;
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  setStatusBar(StatusBar1);

  resize(890, 696);
  Splitter->setSizes({217, 305, 890 - 217 - 305 - 6});
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(890 / 2, 696 / 2));
  }
}

void TForm1::connectPanes() {
  connect(DirListBox, &TDirectoryListBox::directoryChanged, FileListBox1,
          &TFileListBox::setDirectory);
  DirListBox->setDirectory(QDir::homePath());
  FileListBox1->setDirectory(DirListBox->Directory());
  FileListBox1->setMask(FilterComboBox1->mask());
  connect(FilterComboBox1, &TFilterComboBox::maskChanged, this,
          [this] { FilterComboBox1Change(); });
  connect(FileListBox1, &TFileListBox::doubleClicked, this, [this] { FileListBox1DblClick(); });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
  ListBox1->OnDragOver = [this](QObject* source) { return ListBox1DragOver(source); };
  ListBox1->OnDragDrop = [this](QObject* source) { ListBox1DragDrop(source); };
  ListBox1->OnKeyDown = [this](int key) { ListBox1KeyDown(key); };
}

// The layout kept in config.ini of the current folder (section "Form1").
void TForm1::storeLayout() {
  FormStorage1 = new TFormStorage(this, QStringLiteral("config.ini"), QStringLiteral("Form1"));
  // The two left panes keep their widths; the chosen list on the right takes what is left.
  auto storePaneWidth = [this](const QString& name, int pane) {
    FormStorage1->addStoredProperty(
        name, [this, pane] { return QString::number(Splitter->sizes().value(pane)); },
        [this, pane](const QString& v) {
          bool ok = false;
          int width = v.toInt(&ok);
          if (!ok || width < 0) return;
          QList<int> sizes = Splitter->sizes();
          if (sizes.size() == 3) {
            sizes[2] += sizes[pane] - width;
            sizes[pane] = width;
            Splitter->setSizes(sizes);
          }
        });
  };
  storePaneWidth(QStringLiteral("DirListBox_Width"), 0);
  FormStorage1->addStoredProperty(
      QStringLiteral("FileListBox1_ViewStyle"),
      [this] { return viewStyleName(FileListBox1->viewStyle()); },
      [this](const QString& v) {
        TViewStyle style;
        if (viewStyleFromName(v, style)) FileListBox1->setViewStyle(style);
      });
  FormStorage1->addStoredProperty(
      QStringLiteral("DirListBox_Directory"), [this] { return DirListBox->Directory(); },
      [this](const QString& v) { DirListBox->setDirectory(v); });
  storePaneWidth(QStringLiteral("Panel4_Width"), 1);
  FormStorage1->OnError = [this](const std::exception& e) { showException(e); };
}

void TForm1::buildMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->addAction(tr("View"), this, [this] { FileListBox1DblClick(); });
  PopupMenu1->addAction(QStringLiteral("-->>"), this, [this] { N1Click(); });
  PopupMenu1->addSeparator();
  QMenu* style = PopupMenu1->addMenu(tr("Style"));
  const std::pair<QString, int> styles[] = {
      {tr("Icon"), 1}, {tr("List"), 2}, {tr("Report"), 3}, {tr("Small Icon"), 4}};
  for (const auto& [name, tag] : styles) {
    style->addAction(name, this, [this, tag = tag] { Icon1Click(tag); });
  }
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(tr("Create file from clipboard"), this,
                        [this] { Createfilefromclipboard1Click(); });
  PopupMenu1->addAction(tr("Split file"), this, [this] { Splitfile1Click(); });
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(tr("Delete"), this, [this] { Delete2Click(); });
  PopupMenu1->addAction(tr("Rename"), this, [this] { Rename1Click(); });
  PopupMenu1->addAction(tr("Open"), this, [this] { Editnotepad1Click(); });
  connect(FileListBox1, &TFileListBox::contextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(at); });

  PopupMenu2 = new QMenu(this);
  PopupMenu2->addAction(tr("View"), this, [this] { ListBox1DblClick(); });
  PopupMenu2->addAction(tr("Delete"), this, [this] { Delete1Click(); });
  ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListBox1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu2->popup(ListBox1->viewport()->mapToGlobal(at)); });
}

void TForm1::showException(const std::exception& e) {
  Prompts::current().error(this, failureText(e), kCaption);
}

// ---- settings -------------------------------------------------------------------------------

void TForm1::FormCreate() {
  std::filesystem::path folder = toStd(programFolder());
  try {
    TIniFile ini(mainSettingsReadPath(folder));
    Settings = readMainSettings(ini);
  } catch (const std::exception& e) {
    showException(e);
  }
  FilenameEdit1->setText(toQ(Settings.LastBook));
  Calculate();
}

void TForm1::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Settings.LastBook = toStd(FilenameEdit1->text());
  auto path = mainSettingsPath(toStd(programFolder()));
  try {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    TIniFile ini(path);
    writeMainSettings(ini, Settings);
  } catch (const std::exception& e) {
    showException(e);
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A build in progress holds the window; it closes once the build is over.
  if (busy_) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

}  // namespace pagora
