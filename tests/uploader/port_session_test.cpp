// Opening the port, the wake-up, the per-tick drain and the baud switch, with their log texts.
#include <gtest/gtest.h>

#include "fakes.h"

namespace corvane::testing {
namespace {

TEST(OpenPort, LogTextsForEveryOutcome) {
  struct Case {
    const char* what;
    std::string port;
    bool opens;
    bool readsSettings;
    bool appliesSettings;
    bool result;
    std::string log;
  };
  const std::vector<Case> cases = {
      {"no port", "", true, true, true, false,
       "\r\nNo port specified on command line."
       "\r\n\r\nUsage: Corvane [--baudrate=n] [--port=p] [--delete] filename"
       "\r\nExample: Corvane --baudrate=57600 --port=COM1 Nimbrel.lzh"},
      {"cannot open", "COM9", false, true, true, false, ""},
      {"settings unreadable", "COM1", true, false, true, false,
       "\r\nOpening COM1 but GetCommState failed :-("},
      {"settings refused", "COM1", true, true, false, false,
       "\r\nOpening COM1 but SetCommState failed :-("},
      {"opened", "/dev/pts/7", true, true, true, true,
       "\r\nOpening /dev/pts/7 (9600,8n1 hardware flow control)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UploadOptions options;
    options.portName = c.port;
    Harness h(options);
    h.port.openSucceeds = c.opens;
    h.port.readSettingsSucceeds = c.readsSettings;
    h.port.applyResults = {c.appliesSettings};
    EXPECT_EQ(h.engine->openPort(), c.result);
    EXPECT_EQ(h.view.log, c.log);
    EXPECT_EQ(h.engine->portOpen(), c.result);
    if (c.result) {
      EXPECT_TRUE(h.port.rawLine);
      EXPECT_EQ(h.port.appliedRates, std::vector<std::int32_t>{9600});
    }
    if (!c.port.empty()) {
      EXPECT_EQ(h.port.openedName, c.port);
    }
  }
}

TEST(OpenPort, NothingHappensOnTicksWhenClosed) {
  UploadOptions options;
  Harness h(options);
  EXPECT_FALSE(h.engine->openPort());
  h.deliver(
      "BootStrap\x18"
      "000000");
  h.tick();
  EXPECT_TRUE(h.port.writes.empty());
  EXPECT_EQ(h.port.incoming.size(), 16u);
}

TEST(WakeUp, TogglesDtrUntilTheHandheldAnswers) {
  struct Case {
    int answerOnRaise;
    std::string result;
    std::size_t toggles;
  };
  for (const Case& c : {Case{1, "success.", 1}, Case{3, "success.", 3}, Case{11, "success.", 11},
                        Case{12, "no response.", 11}}) {
    SCOPED_TRACE(c.answerOnRaise);
    Harness h;
    h.port.answerOnDtrRaise = c.answerOnRaise;
    ASSERT_TRUE(h.engine->openPort());
    const std::uint32_t before = h.clock.time;
    h.engine->start();
    EXPECT_EQ(
        h.view.log,
        "\r\nOpening COM1 (9600,8n1 hardware flow control)\r\ntry to wake up PV... " + c.result);
    std::vector<bool> expected;
    for (std::size_t i = 0; i < c.toggles; ++i) {
      expected.push_back(false);
      expected.push_back(true);
    }
    EXPECT_EQ(h.port.dtr, expected);
    EXPECT_EQ(h.clock.time - before, 200u * c.toggles);
    EXPECT_EQ(h.engine->state(), UploadState::AwaitBootStrap);
    // The answer stays queued for the first tick.
    EXPECT_EQ(h.port.incoming.size(), c.result == "success." ? 1u : 0u);
  }
}

TEST(Drain, OverflowWarnsAndLeavesTheBytesQueued) {
  Harness h;
  h.openAndWake();
  h.port.incoming.clear();
  h.deliver(std::string(1000, 'x'));  // the BootStrap state keeps collecting
  h.tick();
  EXPECT_EQ(h.engine->receiveBuffer().count(), 1000u);
  const std::string before = h.view.log;
  h.tick();  // nothing waiting: no warning
  EXPECT_EQ(h.view.log, before);
  h.deliver("yz");
  h.tick();
  EXPECT_EQ(h.view.log, before + "Warning: in queue overflow.");
  EXPECT_EQ(h.port.incoming, "yz");
}

TEST(Drain, ReadsOnWhileBytesKeepComing) {
  // Bytes that arrive while the line has not been quiet for a whole millisecond step belong
  // to the same burst: the drain takes them all.
  Harness h;
  int calls = 0;
  h.port.incoming = "BootStrap";
  struct LateClock : public Clock {
    FakeClock& base;
    FakePort& port;
    int& calls;
    LateClock(FakeClock& b, FakePort& p, int& c) : base(b), port(p), calls(c) {}
    std::uint32_t now() override { return base.now(); }
    void sleep(std::uint32_t ms) override { base.sleep(ms); }
    void idle() override {
      base.idle();
      if (++calls == 1)
        port.incoming +=
            "\x18"
            "000000";
    }
  };
  LateClock late(h.clock, h.port, calls);
  UploadEngine engine(Harness::defaultOptions(), h.port, late, h.view, simulatorImage());
  ASSERT_TRUE(engine.openPort());
  engine.drainInput();
  EXPECT_EQ(std::string(engine.receiveBuffer().text()),
            "BootStrap\x18"
            "000000");
  EXPECT_TRUE(h.port.incoming.empty());
}

TEST(Drain, CounterWrapEndsTheDrain) {
  Harness h;
  h.clock.time = 0xFFFFFFFFu;
  h.openAndWake();
  h.clock.time = 0xFFFFFFFFu;
  h.deliver("abc");
  h.engine->drainInput();  // must return although now() < last after the wrap
  EXPECT_EQ(h.engine->receiveBuffer().count(), 4u);  // the wake-up answer and abc
}

TEST(BaudSwitch, ThirdTickAfterTheCommandAndItsTexts) {
  Harness h;
  h.reachInstall();
  EXPECT_EQ(h.port.appliedRates, std::vector<std::int32_t>{9600});
  h.tick();
  h.tick();
  EXPECT_EQ(h.port.appliedRates, std::vector<std::int32_t>{9600});
  h.tick();
  EXPECT_EQ(h.port.appliedRates, (std::vector<std::int32_t>{9600, 57600}));
  EXPECT_TRUE(h.view.log.ends_with(
      "\r\nWaiting for BootStrap response...\r\nSwitching to: 57600,8n1 hardware flow control"));
}

TEST(BaudSwitch, RefusedRateClosesThePortAndStopsTheUpload) {
  Harness h;
  h.port.applyResults = {true, false};
  h.reachInstall();
  for (int i = 0; i < 3; ++i) h.tick();
  EXPECT_TRUE(h.view.log.ends_with(
      "\r\nSwitching to: 57600,8n1 hardware flow control\r\nSetCommState failed :-(\r\nAborting!"));
  EXPECT_FALSE(h.engine->portOpen());
  EXPECT_TRUE(h.engine->finished());
  EXPECT_FALSE(h.engine->succeeded());
  const std::size_t writes = h.port.writes.size();
  h.deliver("ACK\r\n");
  h.tick();
  EXPECT_EQ(h.port.writes.size(), writes);
}

TEST(BaudSwitch, UnreadableSettingsKeepThePortAtTheOldRate) {
  Harness h;
  h.reachInstall();
  h.port.readSettingsSucceeds = false;
  for (int i = 0; i < 3; ++i) h.tick();
  EXPECT_FALSE(
      h.view.log.ends_with("flow control\r\nSwitching to: 57600,8n1 hardware flow control"));
  EXPECT_EQ(h.view.log.find("Switching"), std::string::npos);
  EXPECT_TRUE(h.engine->portOpen());
  EXPECT_EQ(h.port.appliedRates, std::vector<std::int32_t>{9600});
}

}  // namespace
}  // namespace corvane::testing
