// Corvane: the serial uploader program. It parses its command line, shows its dialog already
// holding the lines of opening the port and waking the handheld, and ends when it is closed.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "corvane/uploader_dialog.h"
#include "translations/language.h"
#include "uploader/receiver_image.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("corvane %s\n", PAGORA_VERSION);
    return 0;
  }
  // Arguments as the bytes given (UTF-8 names on POSIX), before Qt sees them.
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const corvane::UploadOptions options =
      corvane::parseUploadOptions(arguments, corvane::kSlashFlagsByDefault);

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvane"));
  QApplication::setOrganizationName(QStringLiteral("CORVANE"));
  // Started by Pagora, Corvane speaks the language Pagora's settings chose; else the desktop's.
  pagora::installTranslations(qEnvironmentVariable(pagora::kLanguageVariable));

  const auto port = corvane::makeSystemSerialPort();
  corvane::SteadyClock clock;
  corvane::UploaderDialog dialog(options, *port, clock, corvane::loadReceiverImage());
  dialog.initialize();
  dialog.exec();
  // Whatever happened, the program ends with the dialog; its status carries no upload result.
  return 0;
}
