// pelmar-convert: the converter without a window.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/core/crash.h"
#include "cli/front_end.h"
#include "cli/options.h"
#include "engine/list_session.h"
#include "platform/files.h"
#include "platform/process.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

void OnStopSignal(int) { cli::FrontEnd::Interrupt(); }

}  // namespace

int main(int argc, char** argv) {
  app::InstallCrashHandlers();
  // No Qt here: the window program beside this one shows the crash box.
  app::SetCrashBoxCommand(
      {platform::JoinPath(platform::ProgramDir(), "pelmar-video-converter"), app::kCrashBoxSwitch});
  std::vector<std::string> args(argv + 1, argv + argc);
  cli::ParseResult parsed = cli::ParseOptions(args);
  if (!parsed.ok) {
    fprintf(stderr, "pelmar-convert: %s\n%s", parsed.error.c_str(), cli::UsageText().c_str());
    return 2;
  }
  if (parsed.options.help) {
    fputs(cli::UsageText().c_str(), stdout);
    return 0;
  }
  // The libraries' own complaints about damaged files would drown the front end's lines.
  av_log_set_level(AV_LOG_QUIET);

  // A Ctrl-C in the terminal, a kill or a closed terminal stop the run: the
  // transcoders run in process groups of their own, so the signal reaches
  // only us, and the front end stops them and removes what they left half
  // written. The same signal a second time ends the front end at once.
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sa.sa_flags = SA_RESETHAND;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  engine::ListSession::CleanUpEndedRuns();
  cli::FrontEnd front(parsed.options, stdout, stderr);
  return front.Run();
}
