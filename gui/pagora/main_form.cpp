// Pagora's main window: layout, the book commands, settings at start and exit, file commands.
#include "pagora/main_form.h"

#include <fcntl.h>
#include <stdio.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "book/book_builder.h"
#include "book/book_names.h"
#include "book/corvane_arguments.h"
#include "book/file_paths.h"
#include "book/file_sizes.h"
#include "pagora/about.h"
#include "pagora/unit4.h"
#include "pagora/upload.h"
#include "settings/inifile.h"
#include "text/clipboard_file.h"
#include "text/recode.h"
#include "text/split_file.h"
#include "text/text_buffer.h"
#include "viewer/view.h"
#include "widgets/dir_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/filename_edit.h"
#include "widgets/filter_combo_box.h"
#include "widgets/formstorage.h"
#include "widgets/glyphs.h"
#include "widgets/launcher.h"
#include "widgets/prompts.h"
#include "widgets/status_gauge.h"

namespace pagora {

namespace {

const QString kCaption = QStringLiteral("Pagora");

QString& programFolderOverride() {
  static QString folder;
  return folder;
}

std::string Std(const QString& s) {
  return s.toStdString();
}
QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// Hints keep the system's line breaks; a tool tip wants plain line feeds.
QString Hint(const char* text) {
  return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The string list's index failure.
class EStringListError : public Exception {
 public:
  explicit EStringListError(int index)
      : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

}  // namespace

QString TForm1::ProgramFolder() {
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
  setWindowTitle(QStringLiteral("to Nimbrel"));
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
  auto button = [toolbar](const char* name, Glyph glyph, const char* hint) {
    auto* b = new QToolButton;
    b->setObjectName(QString::fromUtf8(name));
    b->setIcon(GlyphIcon(glyph));
    b->setAutoRaise(true);
    if (hint) b->setToolTip(QString::fromUtf8(hint));
    toolbar->addWidget(b);
    return b;
  };
  SpeedButton1 = button("SpeedButton1", Glyph::Go, "Go Go Go !!!");
  SpeedButton2 = button("SpeedButton2", Glyph::PvmPath, "Path to PVM");
  SpeedButton3 = button("SpeedButton3", Glyph::PvManager, "PV Manager");
  SpeedButton7 = button("SpeedButton7", Glyph::Settings, "Config Corvane");
  SpeedButton8 = button("SpeedButton8", Glyph::Send, "Run compress & Corvane");
  SpeedButton4 = button("SpeedButton4", Glyph::About, "About");
  // The outside library's upload test: never shown, kept among the window's parts.
  SpeedButton6 = new QToolButton(this);
  SpeedButton6->setObjectName(QStringLiteral("SpeedButton6"));
  SpeedButton6->setToolTip(QStringLiteral("About"));
  SpeedButton6->setVisible(false);
  auto* spacer = new QWidget;
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  toolbar->addWidget(spacer);
  SpeedButton5 = button("SpeedButton5", Glyph::Exit, nullptr);
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
  FileListBox1->setToolTip(Hint(
      "Drag files to the right panel\r\nDouble click - view text\r\nRight click - context menu"));
  FilterComboBox1 = new TFilterComboBox;
  FilterComboBox1->setObjectName(QStringLiteral("FilterComboBox1"));
  FilterComboBox1->setToolTip(QStringLiteral("Filter"));
  QString filter = QStringLiteral(
      "Text files (*.txt)|*.txt;*.|Html files (*.*htm*)|*.*htm*|All Files (*.*)|*.*");
  if (CanImportBooks()) filter += QStringLiteral("|Books (*.fb2 *.epub)|*.fb2;*.fb2.zip;*.epub");
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
  StaticText1 = new QLabel(QStringLiteral("Size"));
  StaticText1->setObjectName(QStringLiteral("StaticText1"));
  StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  ListBox1 = new TChosenListBox;
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setToolTip(Hint("Double click - view text\r\nRight click - context menu"));
  FilenameEdit1 = new TFilenameEdit;
  FilenameEdit1->setObjectName(QStringLiteral("FilenameEdit1"));
  FilenameEdit1->setText(QStringLiteral("book"));
  FilenameEdit1->setToolTip(QStringLiteral("Select target archive"));
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
  DirListBox->setToolTip(QStringLiteral("Folders"));
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
  FileListBox1->setMask(FilterComboBox1->Mask());
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
      [this] { return ViewStyleName(FileListBox1->ViewStyle()); },
      [this](const QString& v) {
        TViewStyle style;
        if (ViewStyleFromName(v, style)) FileListBox1->setViewStyle(style);
      });
  FormStorage1->addStoredProperty(
      QStringLiteral("DirListBox_Directory"), [this] { return DirListBox->Directory(); },
      [this](const QString& v) { DirListBox->setDirectory(v); });
  storePaneWidth(QStringLiteral("Panel4_Width"), 1);
  FormStorage1->OnError = [this](const std::exception& e) { ShowException(e); };
}

void TForm1::buildMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->addAction(QStringLiteral("View"), this, [this] { FileListBox1DblClick(); });
  PopupMenu1->addAction(QStringLiteral("-->>"), this, [this] { N1Click(); });
  PopupMenu1->addSeparator();
  QMenu* style = PopupMenu1->addMenu(QStringLiteral("Style"));
  const std::pair<const char*, int> styles[] = {
      {"Icon", 1}, {"List", 2}, {"Report", 3}, {"Small Icon", 4}};
  for (const auto& [name, tag] : styles) {
    style->addAction(QString::fromUtf8(name), this, [this, tag = tag] { Icon1Click(tag); });
  }
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(QStringLiteral("Create file from clipboard"), this,
                        [this] { Createfilefromclipboard1Click(); });
  PopupMenu1->addAction(QStringLiteral("Split file"), this, [this] { Splitfile1Click(); });
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(QStringLiteral("Delete"), this, [this] { Delete2Click(); });
  PopupMenu1->addAction(QStringLiteral("Rename"), this, [this] { Rename1Click(); });
  PopupMenu1->addAction(QStringLiteral("Open"), this, [this] { Editnotepad1Click(); });
  connect(FileListBox1, &TFileListBox::contextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(at); });

  PopupMenu2 = new QMenu(this);
  PopupMenu2->addAction(QStringLiteral("View"), this, [this] { ListBox1DblClick(); });
  PopupMenu2->addAction(QStringLiteral("Delete"), this, [this] { Delete1Click(); });
  ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListBox1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu2->popup(ListBox1->viewport()->mapToGlobal(at)); });
}

void TForm1::ShowException(const std::exception& e) {
  Prompts::current().error(this, QString::fromStdString(e.what()), kCaption);
}

// ---- settings -------------------------------------------------------------------------------

void TForm1::FormCreate() {
  std::filesystem::path folder = Std(ProgramFolder());
  try {
    TIniFile ini(MainSettingsReadPath(folder));
    Settings = ReadMainSettings(ini);
  } catch (const std::exception& e) {
    ShowException(e);
  }
  FilenameEdit1->setText(Q(Settings.LastBook));
  Calculate();
}

void TForm1::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Settings.LastBook = Std(FilenameEdit1->Text());
  auto path = MainSettingsPath(Std(ProgramFolder()));
  try {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    TIniFile ini(path);
    WriteMainSettings(ini, Settings);
  } catch (const std::exception& e) {
    ShowException(e);
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

// ---- chosen list ----------------------------------------------------------------------------

QStringList TForm1::Chosen() const {
  QStringList out;
  for (int i = 0; i < ListBox1->count(); ++i) out << ListBox1->item(i)->text();
  return out;
}

bool TForm1::AddChosen(const QString& path) {
  std::vector<std::string> entries;
  for (const QString& entry : Chosen()) entries.push_back(Std(entry));
  if (!AddChosenFile(entries, Std(path))) return false;
  ListBox1->addItem(path);
  return true;
}

void TForm1::ChooseFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  QFileInfo first(files.first());
  DirListBox->setDirectory(first.absolutePath());
  QStringList names;
  for (const QString& f : files) {
    QFileInfo info(f);
    if (info.absolutePath() == first.absolutePath()) names << info.fileName();
  }
  FileListBox1->selectNames(names);
  for (const QString& f : files) {
    QFileInfo info(f);
    if (info.isFile()) AddChosen(QDir::cleanPath(info.absoluteFilePath()));
  }
  Calculate();
}

void TForm1::showFolder(const QString& folder) {
  DirListBox->setDirectory(folder);
  FileListBox1->setDirectory(folder);
}

void TForm1::selectFiles(const QStringList& names) {
  FileListBox1->selectNames(names);
}

QString TForm1::bookName() const {
  return FilenameEdit1->Text();
}

void TForm1::setBookName(const QString& name) {
  FilenameEdit1->setText(name);
}

void TForm1::En(bool value) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5, SpeedButton6,
           SpeedButton7, SpeedButton8, DirListBox, FileListBox1, ListBox1}) {
    w->setEnabled(value);
  }
  // The book name stays enabled but cannot change while a build runs: the build has already
  // taken its name, and a name typed meanwhile would only seem to have been used.
  FilenameEdit1->edit()->setReadOnly(!value);
  FilenameEdit1->button()->setEnabled(value);
}

void TForm1::Calculate() {
  std::vector<std::string> files;
  for (const QString& entry : Chosen()) files.push_back(Std(entry));
  try {
    StaticText1->setText(Q(SizeLine(TotalLength(files))));
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

void TForm1::LzhArchiver1ShowProgress(int& percentageDone) {
  StatusBar1->setPosition(percentageDone);
  // The build runs on this thread: let the gauge paint and the name edit take keys.
  QCoreApplication::processEvents();
}

bool TForm1::ListBox1DragOver(QObject* source) const {
  return TFileListBox::FromDragSource(source) != nullptr;
}

// The folder whose files the file list shows (it follows the folder tree).
QString TForm1::fileFolder() const {
  return Q(AddSlash(Std(FileListBox1->Directory())));
}

void TForm1::appendSelectedFiles() {
  QString folder = fileFolder();
  for (int i = 0; i < FileListBox1->Count(); ++i) {
    if (!FileListBox1->Selected(i)) continue;
    AddChosen(folder + FileListBox1->Item(i));
  }
}

void TForm1::ListBox1DragDrop(QObject* source) {
  if (TFileListBox::FromDragSource(source)) appendSelectedFiles();
  Calculate();
}

void TForm1::N1Click() {
  appendSelectedFiles();
}

void TForm1::Delete1Click() {
  for (int i = ListBox1->count() - 1; i >= 0; --i) {
    if (ListBox1->item(i)->isSelected()) delete ListBox1->takeItem(i);
  }
}

void TForm1::ListBox1KeyDown(int key) {
  if (key == Qt::Key_Delete) Delete1Click();
}

// ---- building -------------------------------------------------------------------------------

void TForm1::compressChosen() {
  std::vector<std::string> files;
  for (const QString& entry : Chosen()) files.push_back(Std(entry));
  archiveName_ = Q(NormaliseBookName(Std(FilenameEdit1->Text())));
  FilenameEdit1->setText(archiveName_);
  StatusBar1->setPosition(0);
  LzhArchiver1->Compress(files, Std(archiveName_));
}

void TForm1::SpeedButton1Click() {
  if (ListBox1->count() == 0) {
    Prompts::current().inform(this, QStringLiteral("Файлы не заданы"), kCaption);
    return;
  }
  busy_ = true;
  En(false);
  std::exception_ptr failure;
  try {
    compressChosen();
  } catch (...) {
    failure = std::current_exception();
  }
  // The archive is the one step 6 named, whatever the edit holds by now.
  const QString archive = archiveName_;
  if (auto problem = WrapArchiveIntoAdt(Std(archive))) {
    Prompts::current().inform(this, Q(*problem), kCaption);
  }
  try {
    std::int64_t size = FileLength(Std(archive));
    Prompts::current().inform(this,
                              QStringLiteral("File ") + archive + QStringLiteral(".adt\n\r\n\r") +
                                  QStringLiteral("Size: ") + QString::number(size) +
                                  QStringLiteral(" bytes") +
                                  QStringLiteral("\n\r\n\rReady to send in Casio PV"),
                              kCaption);
  } catch (const std::exception& e) {
    ShowException(e);
  }
  En(true);
  busy_ = false;
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      ShowException(e);
    }
  }
}

void TForm1::SpeedButton8Click() {
  if (ListBox1->count() == 0) {
    Prompts::current().inform(this, QStringLiteral("Файлы не заданы"), kCaption);
    return;
  }
  busy_ = true;
  En(false);
  bool failed = false;
  try {
    compressChosen();
  } catch (...) {
    failed = true;
  }
  if (failed) Prompts::current().inform(this, QStringLiteral("Error compress files"), kCaption);
  En(true);
  busy_ = false;

  QString archive = FilenameEdit1->Text();
  std::int64_t size = 0;
  try {
    size = FileLength(Std(archive));
  } catch (const std::exception& e) {
    ShowException(e);
    return;
  }
  PromptAnswer answer = Prompts::current().ask(
      this, QStringLiteral("Confirm"),
      QStringLiteral("File ") + archive + QStringLiteral("\n\r\n\r") + QStringLiteral("Size: ") +
          QString::number(size) + QStringLiteral(" bytes") +
          QStringLiteral("\n\r\n\rSend to Casio PV ?"),
      PromptKind::Question, PromptButtons::YesNo);
  if (answer != PromptAnswer::Yes) return;
  try {
    const auto& rates = BaudRates();
    if (Settings.BaudRate < 0 || Settings.BaudRate >= static_cast<int>(rates.size())) {
      throw EStringListError(Settings.BaudRate);
    }
    QString port;
    if (!Settings.PortName.empty()) {
      port = Q(Settings.PortName);
    } else {
      // An index the list does not hold would name a port that is not there: refuse it.
      if (Settings.ComPort < 0 || Settings.ComPort >= static_cast<int>(ComPorts().size())) {
        throw EStringListError(Settings.ComPort);
      }
      port = QStringLiteral("COM") + QString::number(Settings.ComPort + 1);
    }
    QStringList arguments;
    for (const std::string& argument :
         corvaneArguments(rates[Settings.BaudRate], Std(port), Settings.FastTransfer, Std(archive)))
      arguments << Q(argument);
    Launcher::startDetached(Q(AddSlash(Std(ProgramFolder()))) + QStringLiteral("corvane"),
                            arguments);
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

// ---- PV Manager, settings dialog, About -----------------------------------------------------

void TForm1::SpeedButton2Click() {
  QFileDialog dialog(this, QString(), QDir(QStringLiteral(".")).absolutePath(),
                     QStringLiteral("Executable (*.exe);;All files (*)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!Settings.PVM.empty()) dialog.selectFile(Q(Settings.PVM));
  if (ExecDialog(&dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    Settings.PVM = Std(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
  }
}

void TForm1::SpeedButton3Click() {
  QString pvm = Q(Settings.PVM);
  QFileInfo info(pvm);
  // A program file starts by itself; anything else goes to the program the desktop associates.
  if (info.isFile() && info.isExecutable()) {
    Launcher::startDetached(info.absoluteFilePath(), {});
  } else {
    Launcher::open(pvm);
  }
}

void TForm1::SpeedButton4Click() {
  ExecDialog(frAbout);
}

void TForm1::loadSettingsDialog() {
  QStringList devices = TForm3::SerialDevices();
  if (!Settings.PortName.empty() && !devices.contains(Q(Settings.PortName))) {
    devices << Q(Settings.PortName);
  }
  Form3->setDevices(devices);
  int port = Settings.ComPort;
  if (!Settings.PortName.empty()) port = Form3->ComboBox1->findText(Q(Settings.PortName));
  Form3->ComboBox1->setCurrentIndex(port >= 0 && port < Form3->ComboBox1->count() ? port : -1);
  int baud = Settings.BaudRate;
  Form3->ComboBox2->setCurrentIndex(baud >= 0 && baud < Form3->ComboBox2->count() ? baud : -1);
  Form3->FastCheck->setChecked(Settings.FastTransfer);
}

void TForm1::SpeedButton7Click() {
  loadSettingsDialog();
  ExecDialog(Form3);
  // The positions come back however the dialog was closed.
  int chosen = Form3->ComboBox1->currentIndex();
  if (chosen >= static_cast<int>(ComPorts().size())) {
    Settings.PortName = Std(Form3->ComboBox1->currentText());
  } else {
    Settings.PortName.clear();
    Settings.ComPort = chosen;
  }
  Settings.BaudRate = Form3->ComboBox2->currentIndex();
  Settings.FastTransfer = Form3->FastCheck->isChecked();
}

// ---- file commands --------------------------------------------------------------------------

QString TForm1::SelectedFile() const {
  int i = FileListBox1->FirstSelected();
  return i < 0 ? QString() : fileFolder() + FileListBox1->Item(i);
}

void TForm1::FileListBox1DblClick() {
  QString file = SelectedFile();
  if (file.isEmpty()) return;
  Form2->OpenFile(file);
  ExecDialog(Form2);
  Calculate();
}

void TForm1::ListBox1DblClick() {
  QListWidgetItem* item = ListBox1->currentItem();
  if (!item) return;
  QString file = item->text();
  try {
    if (CanImportBooks() && file.endsWith(QStringLiteral(".fb2"), Qt::CaseInsensitive)) {
      Form2->OpenFile(file);
    } else if (CanImportBooks() &&
               (file.endsWith(QStringLiteral(".fb2.zip"), Qt::CaseInsensitive) ||
                file.endsWith(QStringLiteral(".epub"), Qt::CaseInsensitive))) {
      Form2->OpenFile(file);
    } else {
      auto lines = LoadTextFile(Std(file));
      Form2->setFileName(file);
      Form2->r->Lines() = std::move(lines);
    }
  } catch (const std::exception& e) {
    ShowException(e);
    return;
  }
  ExecDialog(Form2);
  Calculate();
}

void TForm1::Icon1Click(int tag) {
  switch (tag) {
    case 1:
      FileListBox1->setViewStyle(TViewStyle::vsIcon);
      break;
    case 2:
      FileListBox1->setViewStyle(TViewStyle::vsList);
      break;
    case 3:
      FileListBox1->setViewStyle(TViewStyle::vsReport);
      break;
    case 4:
      FileListBox1->setViewStyle(TViewStyle::vsSmallIcon);
      break;
    default:
      break;
  }
}

void TForm1::FilterComboBox1Change() {
  FileListBox1->setMask(FilterComboBox1->Mask());
}

void TForm1::Createfilefromclipboard1Click() {
  std::optional<QString> answer =
      Prompts::current().input(this, QStringLiteral("Input"), QStringLiteral("name"), QString());
  if (!answer || answer->isEmpty()) return;
  std::string path = ClipboardFilePath(Std(fileFolder()), Std(*answer));
  QString text = QGuiApplication::clipboard()->text();
  try {
    WriteClipboardFile(path, Utf8ToWin(Std(text)));
  } catch (const std::exception& e) {
    ShowException(e);
  }
  FileListBox1->Update();
}

void TForm1::Splitfile1Click() {
  QString file = SelectedFile();
  if (file.isEmpty()) return;
  Form4->FileName = file;
  try {
    Form4->FormShow();
  } catch (const std::exception& e) {
    ShowException(e);
    return;
  }
  if (ExecDialog(Form4) != QDialog::Accepted) return;
  try {
    SplitTextFile(Std(file), Form4->Chunk());
  } catch (const std::exception& e) {
    ShowException(e);
  }
  FileListBox1->Update();
}

void TForm1::Delete2Click() {
  PromptAnswer answer =
      Prompts::current().ask(this, QStringLiteral("Confirm "), QStringLiteral("Delete"),
                             PromptKind::Question, PromptButtons::YesNo);
  if (answer == PromptAnswer::Yes) {
    QString folder = fileFolder();
    for (int i = 0; i < FileListBox1->Count(); ++i) {
      if (FileListBox1->Selected(i)) QFile::remove(folder + FileListBox1->Item(i));
    }
  }
  FileListBox1->Update();
}

void TForm1::Rename1Click() {
  int i = FileListBox1->FirstSelected();
  if (i < 0) return;
  QString old = FileListBox1->Item(i);
  std::optional<QString> answer =
      Prompts::current().input(this, QStringLiteral("New Name"), QStringLiteral("Input"), old);
  if (answer && *answer != old && !answer->isEmpty()) {
    std::string from = Std(fileFolder() + old);
    std::string to = Std(fileFolder() + *answer);
    // Never onto an existing file: a rename must not destroy another file.
    ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  }
  FileListBox1->Update();
}

void TForm1::Editnotepad1Click() {
  QString file = SelectedFile();
  if (file.isEmpty()) return;
  Launcher::open(file);
}

}  // namespace pagora
