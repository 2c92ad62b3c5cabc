// TForm1: Pagora's main window. Folder tree, file list and the chosen list; building a book
// ("Go"), building and sending it with Corvane, the settings, and the file commands.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>

#include "pagora/chosen_list.h"
#include "settings/main_settings.h"

class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class QWidget;

namespace pagora {

class TBookBuilder;
class TDirectoryListBox;
class TFileListBox;
class TFilenameEdit;
class TFilterComboBox;
class TForm2;
class TForm3;
class TForm4;
class TFormStorage;
class TfrAbout;
class TStatusBarGauge;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The folder of Pagora's own program file: config.ini for section "Main" and Corvane live
  // there. Tests point it elsewhere.
  static QString programFolder();
  static void setProgramFolder(const QString& folder);

  // Runs a modal dialog; tests replace it to answer the dialog themselves.
  std::function<int(QDialog*)> execDialog = [](QDialog* d) { return d->exec(); };

  // Commands.
  void SpeedButton1Click();  // Go: build the book and wrap it into ADT
  void SpeedButton2Click();  // path to PV Manager
  void SpeedButton3Click();  // start PV Manager
  void SpeedButton4Click();  // About
  void SpeedButton7Click();  // settings dialog
  // Puts the port and baud settings into the settings dialog's lists.
  void loadSettingsDialog();
  void SpeedButton8Click();  // build the book and send it with Corvane
  void En(bool value);
  void Calculate();
  void LzhArchiver1ShowProgress(int& percentageDone);
  bool ListBox1DragOver(QObject* source) const;
  void ListBox1DragDrop(QObject* source);
  void N1Click();
  void Delete1Click();
  void ListBox1KeyDown(int key);
  void FileListBox1DblClick();
  void ListBox1DblClick();
  void Icon1Click(int tag);
  void FilterComboBox1Change();
  void Createfilefromclipboard1Click();
  void Splitfile1Click();
  void Delete2Click();
  void Rename1Click();
  void Editnotepad1Click();

  // The chosen list's entries in order.
  QStringList chosen() const;
  // Appends a full path to the chosen list unless an entry equal to it without regard to letter
  // case is there; returns whether it was appended.
  bool addChosen(const QString& path);
  // Files named on the program's command line: the folder of the first one is shown with the
  // files of that folder selected, and every one that is a file is chosen (once), then the size
  // line is computed.
  void chooseFiles(const QStringList& files);
  // The selected file's full path in the file list, or empty.
  QString selectedFile() const;
  // Shows a failure as the program's default error handler does.
  void showException(const std::exception& e);

  // Opens a folder in the folder tree; the file list shows its files.
  void showFolder(const QString& folder);
  // Selects these names in the file list; names it does not show are passed over.
  void selectFiles(const QStringList& names);
  // The book's name as the name edit shows it, and typing a name there.
  QString bookName() const;
  void setBookName(const QString& name);
  // The settings the commands work with: read at start, changed by the settings dialog, written
  // back at exit.
  const TMainSettings& settings() const { return Settings; }
  void setSettings(const TMainSettings& settings) { Settings = settings; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildWindow();
  void buildToolBar();
  QWidget* buildFilePane();
  QWidget* buildChosenPane();
  void buildPanes();
  void connectPanes();
  void buildMenus();
  void storeLayout();
  void FormCreate();
  void FormDestroy();
  // Steps 3-7 shared by both build commands; raises when Compress fails. The archive's name is
  // fixed in archiveName_ before compression starts.
  void compressChosen();
  void appendSelectedFiles();
  QString fileFolder() const;

  // Unit-level settings.
  TMainSettings Settings;

  // Parts of the window; each carries its own name as its object name.
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton3 = nullptr;
  QToolButton* SpeedButton4 = nullptr;
  QToolButton* SpeedButton5 = nullptr;
  QToolButton* SpeedButton6 = nullptr;
  QToolButton* SpeedButton7 = nullptr;
  QToolButton* SpeedButton8 = nullptr;
  TDirectoryListBox* DirListBox = nullptr;
  TFileListBox* FileListBox1 = nullptr;
  TChosenListBox* ListBox1 = nullptr;
  QLabel* StaticText1 = nullptr;
  TFilenameEdit* FilenameEdit1 = nullptr;
  TFilterComboBox* FilterComboBox1 = nullptr;
  TStatusBarGauge* StatusBar1 = nullptr;
  QSplitter* Splitter = nullptr;
  QWidget* Panel4 = nullptr;
  QMenu* PopupMenu1 = nullptr;  // file list
  QMenu* PopupMenu2 = nullptr;  // chosen list
  TFormStorage* FormStorage1 = nullptr;
  std::unique_ptr<TBookBuilder> LzhArchiver1;

  // The other windows, made once at start in the program's order.
  TForm2* Form2 = nullptr;
  TfrAbout* frAbout = nullptr;
  TForm3* Form3 = nullptr;
  TForm4* Form4 = nullptr;

  bool busy_ = false;
  // The book's archive as step 6 fixed it; what the edit holds later does not change the build.
  QString archiveName_;
  bool destroyed_ = false;
};

}  // namespace pagora
