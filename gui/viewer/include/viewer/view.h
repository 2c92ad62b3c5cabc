// TForm2: the view window. It shows one text file in a TJumpMemo and offers the clean-up
// commands (recode, delete HTML tags, join paragraphs, collapse spaces, reload) and saving.
#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>
#include <string>
#include <vector>

#include "text/html_parser.h"
#include "text/tidy.h"
#include "viewer/jmpmemo.h"

class QAction;
class QLabel;
class QProgressBar;
class QStatusBar;
class QToolButton;

namespace pagora {

class TFormStorage;

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
  ~TForm2() override;

  // The shown file. For a FictionBook or EPUB book this is the book; the text is its conversion
  // and saving writes savePath() beside it.
  QString FileName() const { return fileName_; }
  // Names the file whose lines the caller puts into r->Lines() itself (not a converted book).
  void setFileName(const QString& path) {
    fileName_ = path;
    imported_ = false;
    linesGiven_ = true;
  }
  // Where Close saves the lines: FileName, or the .txt named after an imported book.
  QString savePath() const;
  bool isImportedBook() const { return imported_; }

  bool Modified() const { return modified_; }
  void setModified(bool on) { modified_ = on; }

  // Sets FileName and loads it into r through the control's load (with its error box), or
  // through the book importer for .fb2, .fb2.zip and .epub. Returns false when it could not be
  // read (the text is then empty).
  bool openFile(const QString& path);

  // Enables or disables every button and the text control together.
  void En(bool enabled);
  bool busy() const { return busy_; }

  // The commands.
  void SpeedButton1Click();  // DOS to WIN
  void SpeedButton2Click();  // KOI to WIN
  void SpeedButton8Click();  // UTF-8 to WIN
  void SpeedButton5Click();  // Delete HTML tags
  void SpeedButton6Click();  // One paragraph, one line
  void SpeedButton7Click();  // Collapse spaces
  void SpeedButton9Click();  // Tidy, with the layout and hyphen choice of its menu
  void SpeedButton4Click();  // Reload
  void SpeedButton3Click();  // Close (asks to save when modified)

  // Writes the lines to savePath() with CR LF after each; a failure is shown with its reason.
  bool saveLines();

  // The note in the status bar (for example which command converts a text in another code page).
  QString statusText() const;

  TJumpMemo* r = nullptr;
  THTMLParser HTMLParser1;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton8 = nullptr;
  QToolButton* SpeedButton5 = nullptr;
  QToolButton* SpeedButton6 = nullptr;
  QToolButton* SpeedButton7 = nullptr;
  QToolButton* SpeedButton9 = nullptr;
  QToolButton* SpeedButton4 = nullptr;
  QToolButton* SpeedButton3 = nullptr;
  QStatusBar* st = nullptr;
  QProgressBar* gauge = nullptr;
  TFormStorage* FormStorage = nullptr;

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void FormShow();
  void noteCodePage();
  void afterCommand(bool changed);
  void setGaugeRange(int maximum);
  template <typename F>
  void runLineCommand(F&& command);

  QString fileName_;
  bool modified_ = false;
  bool imported_ = false;
  std::size_t importMissing_ = 0;  // characters of the imported book that became "?"
  bool linesGiven_ = false;        // the caller put the lines in: showing lays them out afresh
  bool busy_ = false;
  bool closing_ = false;
  QLabel* status_ = nullptr;
  // Tidy's menu: the layout to use (Auto finds it out) and whether cut words keep the hyphen.
  void makeTidyMenu();
  TidyLayout tidyLayout_ = TidyLayout::Auto;
  QAction* keepHyphens_ = nullptr;
};

// Opens the view window on one file outside the main window (pagora --view FILE): loads it,
// shows the window modally, keeps its layout in config.ini. Needs a QApplication. Returns 0, or
// 1 when the file could not be read.
int runViewWindowStandalone(const QString& path);

}  // namespace pagora
