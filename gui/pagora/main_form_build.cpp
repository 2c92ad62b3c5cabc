// Pagora's main window: building the book ("Go", "Run compress & Corvane") and the toolbar's
// PV Manager, settings and About commands.
#include "pagora/main_form.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "book/book_builder.h"
#include "book/book_names.h"
#include "book/corvane_arguments.h"
#include "book/file_sizes.h"
#include "common/file_paths.h"
#include "main_form_helpers.h"
#include "pagora/about.h"
#include "pagora/book_notes.h"
#include "pagora/upload.h"
#include "translations/language.h"
#include "widgets/filename_edit.h"
#include "widgets/launcher.h"
#include "widgets/prompts.h"
#include "widgets/status_gauge.h"

namespace pagora {

using namespace mainform;

namespace {

// The string list's index failure.
class EStringListError : public Exception {
 public:
  explicit EStringListError(int index)
      : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

}  // namespace

// ---- building -------------------------------------------------------------------------------

void TForm1::compressChosen() {
  std::vector<std::string> files;
  for (const QString& entry : chosen()) files.push_back(toStd(entry));
  archiveName_ = toQ(normaliseBookName(toStd(FilenameEdit1->text())));
  FilenameEdit1->setText(archiveName_);
  StatusBar1->setPosition(0);
  // The texts converted on the way (or left alone on an unsure guess) are named in the bar.
  LzhArchiver1->ConvertTexts = Settings.ConvertTexts;
  LzhArchiver1->TidyTexts = Settings.TidyTexts;
  QStringList notes;
  LzhArchiver1->OnTextNote = [&notes](const TBookTextNote& note) { notes << bookTextNote(note); };
  struct ShowNotes {
    TForm1* form;
    QStringList& notes;
    ~ShowNotes() {
      form->LzhArchiver1->OnTextNote = nullptr;
      if (!notes.isEmpty()) form->StatusBar1->showMessage(notes.join(QStringLiteral("; ")));
    }
  } showNotes{this, notes};
  LzhArchiver1->Compress(files, toStd(archiveName_));
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
  if (auto problem = wrapArchiveIntoAdt(toStd(archive))) {
    Prompts::current().inform(this, toQ(*problem), kCaption);
  }
  // A name without a folder is relative to the folder Pagora was started in, which the user
  // does not see: the report names the whole path.
  const QString adt = QFileInfo(archive).absoluteFilePath() + QStringLiteral(".adt");
  if (!failure) {
    // The build has just named the texts it converted there; the book goes first.
    const QString notes = StatusBar1->currentMessage();
    StatusBar1->showMessage(
        tr("Book %1: %n file(s)", nullptr, static_cast<int>(chosen().size())).arg(adt) +
        (notes.isEmpty() ? QString() : QStringLiteral("; ") + notes));
  }
  try {
    std::int64_t size = FileLength(toStd(archive));
    Prompts::current().inform(this,
                              tr("File %1\n\r\n\rSize: %2 bytes\n\r\n\rReady to send in Casio PV",
                                 nullptr, pluralCount(size))
                                  .arg(adt, QString::number(size)),
                              kCaption);
  } catch (const std::exception& e) {
    showException(e);
  }
  En(true);
  busy_ = false;
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      showException(e);
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
  if (failed) Prompts::current().inform(this, tr("Error compress files"), kCaption);
  En(true);
  busy_ = false;

  QString archive = FilenameEdit1->text();
  std::int64_t size = 0;
  try {
    size = FileLength(toStd(archive));
  } catch (const std::exception& e) {
    showException(e);
    return;
  }
  PromptAnswer answer = Prompts::current().ask(
      this, tr("Confirm"),
      tr("File %1\n\r\n\rSize: %2 bytes\n\r\n\rSend to Casio PV ?", nullptr, pluralCount(size))
              .arg(archive, QString::number(size)) +
          [&archive] {
            const QString warning = shortenedNameWarning(archive);
            return warning.isEmpty() ? warning : QStringLiteral("\n\r\n\r") + warning;
          }(),
      PromptKind::Question, PromptButtons::YesNo);
  if (answer != PromptAnswer::Yes) return;
  try {
    const auto& rates = baudRates();
    if (Settings.BaudRate < 0 || Settings.BaudRate >= static_cast<int>(rates.size())) {
      throw EStringListError(Settings.BaudRate);
    }
    QString port;
    if (!Settings.PortName.empty()) {
      port = toQ(Settings.PortName);
    } else {
      // An index the list does not hold would name a port that is not there: refuse it.
      if (Settings.ComPort < 0 || Settings.ComPort >= static_cast<int>(comPorts().size())) {
        throw EStringListError(Settings.ComPort);
      }
      port = QStringLiteral("COM") + QString::number(Settings.ComPort + 1);
    }
    QStringList arguments;
    for (const std::string& argument : corvaneArguments(rates[Settings.BaudRate], toStd(port),
                                                        Settings.FastTransfer, toStd(archive)))
      arguments << toQ(argument);
    Launcher::startDetached(toQ(AddSlash(toStd(programFolder()))) + QStringLiteral("corvane"),
                            arguments);
  } catch (const std::exception& e) {
    showException(e);
  }
}

// ---- PV Manager, settings dialog, About -----------------------------------------------------

void TForm1::SpeedButton2Click() {
  QFileDialog dialog(this, QString(), QDir(QStringLiteral(".")).absolutePath(),
                     tr("Executable (*.exe)") + QStringLiteral(";;") + tr("All files (*)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!Settings.PVM.empty()) dialog.selectFile(toQ(Settings.PVM));
  if (execDialog(&dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    Settings.PVM = toStd(QFileInfo(dialog.selectedFiles().first()).absoluteFilePath());
  }
}

void TForm1::SpeedButton3Click() {
  QString pvm = toQ(Settings.PVM);
  QFileInfo info(pvm);
  // A program file starts by itself; anything else goes to the program the desktop associates.
  if (info.isFile() && info.isExecutable()) {
    Launcher::startDetached(info.absoluteFilePath(), {});
  } else {
    Launcher::open(pvm);
  }
}

void TForm1::SpeedButton4Click() {
  execDialog(frAbout);
}

void TForm1::loadSettingsDialog() {
  QStringList devices = TForm3::serialDevices();
  if (!Settings.PortName.empty() && !devices.contains(toQ(Settings.PortName))) {
    devices << toQ(Settings.PortName);
  }
  Form3->setDevices(devices);
  int port = Settings.ComPort;
  if (!Settings.PortName.empty()) port = Form3->ComboBox1->findText(toQ(Settings.PortName));
  Form3->ComboBox1->setCurrentIndex(port >= 0 && port < Form3->ComboBox1->count() ? port : -1);
  int baud = Settings.BaudRate;
  Form3->ComboBox2->setCurrentIndex(baud >= 0 && baud < Form3->ComboBox2->count() ? baud : -1);
  Form3->FastCheck->setChecked(Settings.FastTransfer);
  Form3->ConvertCheck->setChecked(Settings.ConvertTexts);
  Form3->TidyCheck->setChecked(Settings.TidyTexts);
  const int language = Form3->LanguageBox->findData(toQ(Settings.Language));
  Form3->LanguageBox->setCurrentIndex(language >= 0 ? language : 0);
}

void TForm1::SpeedButton7Click() {
  loadSettingsDialog();
  execDialog(Form3);
  // The positions come back however the dialog was closed.
  int chosen = Form3->ComboBox1->currentIndex();
  if (chosen >= static_cast<int>(comPorts().size())) {
    Settings.PortName = toStd(Form3->ComboBox1->currentText());
  } else {
    Settings.PortName.clear();
    Settings.ComPort = chosen;
  }
  Settings.BaudRate = Form3->ComboBox2->currentIndex();
  Settings.FastTransfer = Form3->FastCheck->isChecked();
  Settings.ConvertTexts = Form3->ConvertCheck->isChecked();
  Settings.TidyTexts = Form3->TidyCheck->isChecked();
  Settings.Language = toStd(Form3->LanguageBox->currentData().toString());
}

}  // namespace pagora
