// The window program without a usable display: it says so and ends with
// exit code 1, with no crash report and no crash box (once, every crash box
// crashed in turn and started another).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/sandbox.h"

using testsupport::ReadText;

namespace {

// An "X server" on a local TCP port that turns every client away, as a
// server does that the user may not use.
class RefusingServer {
 public:
  RefusingServer() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    for (int n = 150; n < 250 && display_ < 0; ++n) {
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      addr.sin_port = htons(static_cast<uint16_t>(6000 + n));
      if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) display_ = n;
    }
    if (display_ < 0 || listen(fd_, 8) != 0) return;
    thread_ = std::thread([this] { Serve(); });
  }
  ~RefusingServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    close(fd_);
  }
  // The DISPLAY value that reaches it; empty when no port was free.
  std::string Display() const {
    return display_ < 0 ? std::string() : "127.0.0.1:" + std::to_string(display_);
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      char request[64];
      ssize_t ignored = read(client, request, sizeof request);
      (void)ignored;
      // Connection set-up "Failed": reason length, protocol 11.0, then the
      // reason padded to four bytes.
      const std::string reason = "No protocol specified";
      std::string reply = {0, static_cast<char>(reason.size()), 11, 0, 0, 0, 6, 0};
      reply += reason;
      reply.resize(8 + 24, '\0');
      ignored = write(client, reply.data(), reply.size());
      close(client);
    }
  }
  int fd_ = -1;
  int display_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct Stamp {
  bool exists;
  long long modified;
};

Stamp StampOf(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) return {false, 0};
  return {true, static_cast<long long>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

class NoDisplayTest : public testsupport::SandboxTest {};

TEST_F(NoDisplayTest, TheWindowProgramSaysSoAndEndsWithoutACrash) {
  RefusingServer refusing;
  ASSERT_NE(refusing.Display(), "") << "no free port for the refusing server";
  struct Case {
    const char* name;
    std::string display;  // empty: DISPLAY not set
  };
  const std::vector<Case> cases = {
      {"no DISPLAY", ""},
      {"no server there", ":7777"},
      {"a server that refuses", refusing.Display()},
  };
  const std::string program = PELMAR_WINDOW_PROGRAM;
  const std::vector<std::string> reports = {
      platform::ParentDir(program) + "/Error.tmp",
      sandbox().dataHome() + "/PelmarVideoConverter/Error.tmp"};
  for (const Case& c : cases) {
    std::vector<Stamp> before;
    for (const std::string& r : reports) before.push_back(StampOf(r));
    std::vector<std::string> argv = {"env", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                                     "-u", "DISPLAY"};
    if (!c.display.empty()) argv.push_back("DISPLAY=" + c.display);
    argv.push_back(program);
    platform::ProcessOptions options;
    options.stderrFile = path("stderr.txt");
    EXPECT_EQ(platform::RunAndWait(argv, options), 1)
        << c.name << ": " << ReadText(path("stderr.txt"));
    const std::string err = ReadText(path("stderr.txt"));
    EXPECT_NE(err.find("cannot open the display"), std::string::npos) << c.name << ": " << err;
    for (size_t i = 0; i < reports.size(); ++i) {
      const Stamp after = StampOf(reports[i]);
      EXPECT_TRUE(after.exists == before[i].exists && after.modified == before[i].modified)
          << c.name << ": a crash report was written to " << reports[i];
    }
  }
}

}  // namespace
