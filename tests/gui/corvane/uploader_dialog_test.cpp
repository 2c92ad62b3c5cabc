// The Corvane dialog offscreen: start-up order, what the log box and progress bar show, the
// tick that never re-enters, and the About box that leaves the upload running.
#include "corvane/uploader_dialog.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

#include "fakes.h"

// The system's font library keeps a cache for the life of the process, which the leak checker
// of sanitizer builds would report at exit.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace corvane::testing {
namespace {

QApplication& application() {
  static int argc = 1;
  static char name[] = "uploader_dialog_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: tearing Qt down among the other static objects at exit is not safe.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct DialogRig {
  explicit DialogRig(UploadOptions options = Harness::defaultOptions(),
                     std::optional<std::string> image = simulatorImage())
      : dialog(std::move(options), port, clock, std::move(image)) {}
  void tick() {
    clock.time += UploadEngine::kTickMs;
    dialog.onTick();
  }
  QApplication& app = application();  // before any widget
  FakeClock clock;
  FakePort port;
  UploaderDialog dialog;
};

TEST(UploaderDialog, OpensAndWakesBeforeItIsShown) {
  DialogRig rig;
  EXPECT_EQ(rig.dialog.logBox()->toPlainText(), "Corvane\n");
  EXPECT_FALSE(rig.dialog.tickRunning());
  rig.dialog.initialize();
  EXPECT_FALSE(rig.dialog.isVisible());
  EXPECT_EQ(rig.dialog.logText(),
            "Corvane\r\n\r\nOpening COM1 (9600,8n1 hardware flow control)"
            "\r\ntry to wake up PV... success.");
  EXPECT_EQ(rig.dialog.logBox()->toPlainText(),
            "Corvane\n\nOpening COM1 (9600,8n1 hardware flow control)\n"
            "try to wake up PV... success.");
  EXPECT_TRUE(rig.dialog.tickRunning());
  EXPECT_EQ(rig.dialog.windowTitle(), "Corvane");
  EXPECT_TRUE(rig.dialog.logBox()->isReadOnly());
}

TEST(UploaderDialog, NoTickWithoutAnOpenPort) {
  struct Case {
    const char* what;
    std::string port;
    bool opens;
    QString shown;
  };
  const std::vector<Case> cases = {
      {"no port", "", true,
       "Corvane\n\nNo port specified on command line.\n\n"
       "Usage: Corvane [--baudrate=n] [--port=p] [--delete] filename\n"
       "Example: Corvane --baudrate=57600 --port=COM1 Nimbrel.lzh"},
      {"port missing", "/dev/does-not-exist", false, "Corvane\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UploadOptions options;
    options.portName = c.port;
    DialogRig rig(options);
    rig.port.openSucceeds = c.opens;
    rig.dialog.initialize();
    EXPECT_EQ(rig.dialog.logBox()->toPlainText(), c.shown);
    EXPECT_FALSE(rig.dialog.tickRunning());
  }
}

TEST(UploaderDialog, WholeUploadMovesTheProgressBarOverTheWholeFile) {
  TempFolder folder;
  UploadOptions options = Harness::defaultOptions();
  options.files = {folder.write("book.lzh", countingBytes(2500))};
  DialogRig rig(options);
  // A handheld that answers everything at once.
  rig.port.onWrite = [&rig](const std::string& bytes) {
    if (bytes.starts_with("BOOTSTRAP") || bytes.ends_with("\r\n")) rig.port.incoming += "ACK\r\n";
    if (bytes.ends_with(":00000001FF\r\n")) rig.port.incoming += "C";
    const bool endOfBatch = bytes.size() > 3 && bytes[0] == 0x01 && bytes[3] == 0;
    if (endOfBatch)
      rig.port.incoming +=
          "\x06"
          "Done\r\n";
    if ((bytes[0] == 0x01 && !endOfBatch) || bytes[0] == 0x02) rig.port.incoming += "\x06";
    if (bytes == "\x04")
      rig.port.incoming +=
          "\x06"
          "C";
  };
  rig.dialog.initialize();
  rig.port.incoming +=
      "\x18"
      "000000";
  int maximumDuringFile = -1;
  for (int i = 0; i < 60 && !rig.dialog.engine().finished(); ++i) {
    rig.tick();
    if (rig.dialog.engine().state() == UploadState::AwaitHeaderAck ||
        rig.dialog.engine().state() == UploadState::SendData) {
      maximumDuringFile = rig.dialog.progressBar()->maximum();
    }
    if (rig.dialog.engine().state() == UploadState::AwaitEotAck) {
      EXPECT_EQ(rig.dialog.progressBar()->value(), 2500);
    }
  }
  EXPECT_EQ(maximumDuringFile, 2500);
  EXPECT_TRUE(rig.dialog.engine().succeeded());
  EXPECT_TRUE(rig.dialog.logBox()->toPlainText().endsWith(
      "Starting tranfer of 'book.lzh'\nFinished.\nExit.\n\nLast words from Receiver:\nDone\n"))
      << rig.dialog.logText();
  // The timer keeps firing after the end and does nothing.
  const std::size_t writes = rig.port.writes.size();
  rig.tick();
  EXPECT_EQ(rig.port.writes.size(), writes);
}

TEST(UploaderDialog, TickNeverReenters) {
  DialogRig rig;
  rig.dialog.initialize();
  int nestedWrites = 0;
  rig.port.onWrite = [&](const std::string&) {
    const std::size_t before = rig.port.writes.size();
    rig.port.incoming +=
        "\x18"
        "000000";
    rig.dialog.onTick();  // as if the timer fired while a tick is still busy
    nestedWrites += static_cast<int>(rig.port.writes.size() - before);
  };
  rig.port.incoming +=
      "\x18"
      "000000";
  rig.tick();
  EXPECT_EQ(nestedWrites, 0);
  EXPECT_EQ(rig.port.writes.size(), 1u);
}

TEST(UploaderDialog, ContextMenuOffersAbout) {
  DialogRig rig;
  const std::unique_ptr<QMenu> menu = rig.dialog.contextMenu();
  QStringList texts;
  for (QAction* action : menu->actions()) texts << action->text();
  EXPECT_TRUE(texts.contains("&About Corvane...")) << texts.join("|").toStdString();
}

TEST(UploaderDialog, AboutBoxWhileTheUploadGoesOn) {
  DialogRig rig;
  rig.dialog.initialize();
  rig.port.incoming +=
      "\x18"
      "000000";
  QString title;
  QString version;
  bool commandSentWhileOpen = false;
  QElapsedTimer elapsed;
  elapsed.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box || box == &rig.dialog) return;
    title = box->windowTitle();
    if (auto* label = box->findChild<QLabel*>("version")) version = label->text();
    commandSentWhileOpen = !rig.port.writes.empty();
    if (commandSentWhileOpen || elapsed.elapsed() > 5000) box->close();
  });
  poll.start(50);
  rig.dialog.showAbout();
  poll.stop();
  EXPECT_EQ(title, "About Corvane");
  EXPECT_EQ(version, "Corvane Version 1.0");
  EXPECT_TRUE(commandSentWhileOpen);  // the real 200 ms timer ticked inside the modal box
}

TEST(UploaderDialog, ScriptedInputMakesTheInstallGiveWay) {
  DialogRig rig;
  bool input = true;
  std::size_t before = 0;
  // Without replies to the records the loop would wait for ever; a late "input" ends it.
  rig.dialog.setInputProbe([&] { return input || rig.port.writes.size() >= before + 4; });
  rig.dialog.initialize();
  rig.port.incoming +=
      "\x18"
      "000000";
  for (int i = 0; i < 4; ++i) rig.tick();  // command, then the baud switch
  rig.port.incoming += "ACK\r\n";
  before = rig.port.writes.size();
  rig.tick();
  EXPECT_EQ(rig.port.writes.size(), before);
  input = false;
  rig.tick();
  EXPECT_GT(rig.port.writes.size(), before);
}

TEST(UploaderDialog, ProgressRangeOfNothingShowsAnEmptyBar) {
  DialogRig rig;
  rig.dialog.setProgressRange(0);
  rig.dialog.setProgressPosition(0);
  EXPECT_EQ(rig.dialog.progressBar()->value(), 0);
  EXPECT_GT(rig.dialog.progressBar()->maximum(), 0);  // not the busy animation
  rig.dialog.setProgressRange(100000);
  rig.dialog.setProgressPosition(0);
  rig.dialog.advanceProgress(99328);
  rig.dialog.advanceProgress(672);
  EXPECT_EQ(rig.dialog.progressBar()->maximum(), 100000);
  EXPECT_EQ(rig.dialog.progressBar()->value(), 100000);
}

// Counts the key presses that reach a widget.
class KeyCounter : public QObject {
 public:
  int presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) ++presses;
    return false;
  }
};

TEST(UploaderDialog, AKeyPressFreesTheInstallLoopAndIsHandedBackAfterwards) {
  DialogRig rig;
  rig.dialog.setTickPeriod(3600 * 1000);  // only this test's ticks
  rig.dialog.initialize();
  rig.port.incoming +=
      "\x18"
      "000000";
  for (int i = 0; i < 4; ++i) rig.tick();  // command, then the baud switch
  // The device is silent after its first reply. Should the loop never give way, a late reply
  // now and then ends the wait, and the test fails instead of hanging.
  int idles = 0;
  bool lateReply = false;
  rig.clock.onIdle = [&] {
    if (++idles % 20000 == 0) {
      lateReply = true;
      rig.port.incoming += "ACK\r\n";
    }
  };
  rig.port.incoming += "ACK\r\n";
  KeyCounter counter;
  rig.dialog.logBox()->installEventFilter(&counter);
  QCoreApplication::postEvent(rig.dialog.logBox(),
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  const std::size_t before = rig.port.writes.size();
  rig.tick();
  EXPECT_FALSE(lateReply);
  EXPECT_EQ(rig.port.writes.size(), before);
  EXPECT_EQ(counter.presses, 0);  // held while the tick ran
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.presses, 1);  // and delivered once afterwards: nothing consumed
  EXPECT_EQ(rig.dialog.result(), QDialog::Rejected);

  // Without input the installation goes on at the next tick.
  rig.port.onWrite = [&](const std::string& bytes) {
    if (bytes.ends_with("\r\n")) rig.port.incoming += "ACK\r\n";
  };
  rig.tick();
  EXPECT_FALSE(lateReply);
  EXPECT_EQ(rig.port.writes.size(), before + 10);
}

TEST(UploaderDialog, FastStepsFollowThePortWithoutTheTick) {
  for (const bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "--fast" : "ticks");
    TempFolder folder;
    UploadOptions options = Harness::defaultOptions();
    options.files = {folder.write("book.lzh", countingBytes(3000))};
    options.fast = fast;
    DialogRig rig(options);
    rig.dialog.setTickPeriod(3600 * 1000);  // only this test's ticks and the port
    int line[2];
    ASSERT_EQ(::pipe2(line, O_NONBLOCK), 0);
    rig.port.descriptor = line[0];
    const auto deliver = [&](const std::string& bytes) {
      rig.port.incoming += bytes;
      ASSERT_EQ(::write(line[1], "x", 1), 1);
    };
    rig.port.onWrite = [&](const std::string& bytes) {
      if (bytes.starts_with("BOOTSTRAP") || bytes.ends_with("\r\n")) rig.port.incoming += "ACK\r\n";
    };
    rig.dialog.initialize();
    rig.port.incoming +=
        "\x18"
        "000000";
    for (int i = 0; i < 20 && rig.dialog.engine().state() != UploadState::AwaitStartRequest; ++i) {
      rig.tick();
    }
    ASSERT_EQ(rig.dialog.engine().state(), UploadState::AwaitStartRequest);
    rig.port.onWrite = nullptr;
    rig.tick();  // the replies to the last records go
    EXPECT_EQ(rig.dialog.watchingPort(), fast);

    // Each reply is followed by the next step within a few passes of the event loop, long
    // before a 200 ms tick.
    const auto settle = [] {
      for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    };
    const std::size_t before = rig.port.writes.size();
    deliver("C");
    settle();
    deliver("\x06");
    settle();
    deliver("\x06");
    settle();
    deliver("\x06");
    settle();
    if (fast) {
      // header, data blocks 1, 2 and 3
      ASSERT_EQ(rig.port.writes.size(), before + 4);
      EXPECT_EQ(rig.port.writes[before].bytes.substr(0, 3), std::string("\x01\x00\xFF", 3));
      EXPECT_EQ(rig.port.writes[before + 3].bytes.substr(0, 3), "\x02\x03\xFC");
      deliver("\x06");
      settle();
      EXPECT_EQ(rig.port.writes.back().bytes, "\x04");
      EXPECT_EQ(rig.dialog.engine().state(), UploadState::AwaitEotAck);
    } else {
      EXPECT_EQ(rig.port.writes.size(), before);  // only the tick moves the paced upload
    }
    ::close(line[0]);
    ::close(line[1]);
  }
}

}  // namespace
}  // namespace corvane::testing
