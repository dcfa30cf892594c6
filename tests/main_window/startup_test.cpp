// What reaches the window from outside: the command line's files and the
// requests a later start sends to the running program.
#include <stdlib.h>
#include <unistd.h>

#include "platform/files.h"
#include "tests/support/sandbox.h"
#include "ui/instance_request.h"
#include "ui/startup.h"

using namespace ui;

namespace {

TEST(InstanceMessage, AnyPathSurvivesTheTripWhateverPiecesItComesIn) {
  const std::vector<InstanceMessage> messages = {
      {"raise", {}},
      {"open", {"/v/a b.mp4", "/v/two\nlines.mkv", "/v/\xff\xfe latin.ts", "/v/12:3,4.mp4", ""}},
      {"ok", {std::string(3000, 'x'), "/v/\n", "5:/v/looks like a length"}},
  };
  for (const InstanceMessage& m : messages) {
    const std::string data = EncodeInstanceMessage(m);
    InstanceMessage got;
    size_t used = 0;
    ASSERT_EQ(DecodeInstanceMessage(data, &got, &used), DecodeResult::Complete) << m.verb;
    EXPECT_EQ(got, m);
    EXPECT_EQ(used, data.size());
    // Cut anywhere, it only waits for the rest.
    for (size_t cut = 0; cut < data.size(); ++cut)
      ASSERT_EQ(DecodeInstanceMessage(data.substr(0, cut), &got, &used), DecodeResult::Incomplete)
          << m.verb << " cut at " << cut;
    // Whatever follows belongs to no one: the message ends where it ends.
    ASSERT_EQ(DecodeInstanceMessage(data + "raise\n", &got, &used), DecodeResult::Complete);
    EXPECT_EQ(got, m);
    EXPECT_EQ(used, data.size());
  }
  // The plain requests read as they always did.
  InstanceMessage got;
  size_t used = 0;
  EXPECT_EQ(EncodeInstanceMessage({"raise", {}}), "raise\n");
  ASSERT_EQ(DecodeInstanceMessage("close\n", &got, &used), DecodeResult::Complete);
  EXPECT_EQ(got, (InstanceMessage{"close", {}}));
}

TEST(InstanceMessage, RefusesWhatNoStartWrites) {
  const std::string cases[] = {
      "\n",                                      // no verb
      "Raise\n",                                 // verbs are lower case
      "open x\n",                                // the count is a number
      "open -1\n",
      "open \n",
      "open 1 2\n",
      "open 100001\n",                           // too many items
      "open 1\n:abc",                            // an item without its length
      "open 1\nx:abc",
      "open 1\n3;abc",
      "open 1\n65537:",                          // an item too long for a path
      "open 1\n99999999999999999999999:",
      std::string(kMaxMessageLine + 1, 'a'),     // a first line that never ends
  };
  for (const std::string& data : cases) {
    InstanceMessage got;
    size_t used = 0;
    EXPECT_EQ(DecodeInstanceMessage(data, &got, &used), DecodeResult::Malformed) << data;
  }
}

class CommandLineTest : public testsupport::SandboxTest {};

TEST_F(CommandLineTest, TakesExistingFilesOnceAndLeavesTheSwitches) {
  const std::string dir = path("videos");
  platform::CreateFolders(dir + "/folder.mp4");
  platform::CreateFolders(dir + "/installers");
  for (const char* name : {"a b.mp4", "two\nlines.mkv", "A.mp4", "-dash.mp4", "installers/x.mp4"})
    testsupport::WriteText(dir + "/" + name, "x");

  const CommandLine line = ReadCommandLine(
      {
          "a b.mp4",                                // relative to the starting folder
          "./a b.mp4",                              // the same file again
          dir + "/two\nlines.mkv",
          "missing.mp4",
          "folder.mp4",                             // a folder is no file
          "file://" + dir + "/%41.mp4",             // from a desktop: A.mp4
          "file://localhost" + dir + "/a%20b.mp4",  // the first file once more
          "file://elsewhere" + dir + "/A.mp4",      // another machine's
          "/install",
          "-style",
          "-dash.mp4",                              // an option, until "--"
          "--",
          "-dash.mp4",
          "/uninstall",                             // a name now, and none that exists
          dir + "/installers/x.mp4",
      },
      dir);
  EXPECT_EQ(line.files,
            (std::vector<std::string>{dir + "/a b.mp4", dir + "/two\nlines.mkv", dir + "/A.mp4",
                                      dir + "/-dash.mp4", dir + "/installers/x.mp4"}));
  EXPECT_EQ(line.switches, (std::vector<std::string>{"/install", "-style", "-dash.mp4"}));
  EXPECT_EQ(FindSwitch(line.switches), "/install");

  // A video in a folder whose name holds a switch does not start the installer's work.
  EXPECT_EQ(FindSwitch(ReadCommandLine({dir + "/installers/x.mp4"}, dir).switches), "");
}

// Puts the display variables back as they were.
class InstanceNameTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
      const char* value = getenv(name);
      saved_.push_back({name, value ? value : "", value != nullptr});
    }
  }
  void TearDown() override {
    for (const Saved& s : saved_)
      s.set ? setenv(s.name, s.value.c_str(), 1) : unsetenv(s.name);
    SandboxTest::TearDown();
  }

 private:
  struct Saved {
    const char* name;
    std::string value;
    bool set;
  };
  std::vector<Saved> saved_;
};

TEST_F(InstanceNameTest, OnePerUserDesktopSessionAndDataFolder) {
  struct Session {
    const char* wayland;
    const char* x;
    const char* session;
  } sessions[] = {
      {nullptr, ":0", "x11:0"},
      {nullptr, ":0.1", "x11:0"},  // another screen of the same server
      {nullptr, "unix:0", "x11:0"},
      {nullptr, ":1", "x11:1"},
      {nullptr, "host:10.0", "x11host:10"},
      {"wayland-0", ":0", "wayland:wayland-0"},  // Wayland first, X is its helper
      {"", "", ""},
      {nullptr, nullptr, ""},
  };
  for (const Session& c : sessions) {
    c.wayland ? setenv("WAYLAND_DISPLAY", c.wayland, 1) : unsetenv("WAYLAND_DISPLAY");
    c.x ? setenv("DISPLAY", c.x, 1) : unsetenv("DISPLAY");
    EXPECT_EQ(DesktopSession(), c.session) << (c.x ? c.x : "no DISPLAY");
  }

  unsetenv("WAYLAND_DISPLAY");
  setenv("DISPLAY", ":0", 1);
  const std::string first = InstanceName();
  EXPECT_NE(first.find("-" + std::to_string(getuid()) + "-"), std::string::npos) << first;
  EXPECT_LT(first.size(), 100u) << "an abstract socket name holds 107 bytes";
  setenv("DISPLAY", ":0.0", 1);
  EXPECT_EQ(InstanceName(), first) << "the same session";
  setenv("DISPLAY", ":1", 1);
  EXPECT_NE(InstanceName(), first) << "another session";
  setenv("DISPLAY", ":0", 1);
  setenv("XDG_DATA_HOME", path("elsewhere").c_str(), 1);
  EXPECT_NE(InstanceName(), first) << "another data folder";
  // The parts cannot be traded for each other.
  EXPECT_NE(InstanceNameSuffix("/a", "x11:0"), InstanceNameSuffix("/ax", "11:0"));
}

}  // namespace
