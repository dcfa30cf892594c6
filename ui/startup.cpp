#include "ui/startup.h"

#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/crash.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"
#include "app/core/server_config.h"
#include "app/core/start_up.h"
#include "app/ui/shell.h"
#include "app/ui/skin.h"
#include "app/ui/skin_text.h"
#include "engine/list_session.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/special_folders.h"
#include "ui/instance_request.h"
#include "ui/main_frame.h"
#include "ui/main_window_rules.h"
#include "ui/message_dlg.h"

namespace ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// How long a later start waits for the running window to take its request.
constexpr int kAskTimeoutMs = 5000;
// How long the window waits for a request to arrive whole.
constexpr int kRequestTimeoutMs = 10000;

// Hands a request to a running instance; false when none answers.
bool TellRunningInstance(const InstanceMessage& request) {
  return AskRunningInstance(InstanceName(), request, nullptr, kAskTimeoutMs);
}

// The local path a file:// address names ("file:///a%20b.mp4",
// "file://localhost/a.mp4", "file:/a.mp4"); "" for any other address.
std::string PathOfFileUrl(const std::string& url) {
  std::string rest;
  if (url.rfind("file://", 0) == 0) {
    rest = url.substr(7);
    if (rest.rfind("localhost/", 0) == 0) rest.erase(0, 9);
  } else if (url.rfind("file:/", 0) == 0) {
    rest = url.substr(5);
  }
  if (rest.empty() || rest[0] != '/') return {};  // another machine's file, or none
  rest = rest.substr(0, rest.find_first_of("?#"));
  std::string path = QByteArray::fromPercentEncoding(QByteArray::fromStdString(rest)).toStdString();
  return path.find('\0') == std::string::npos ? path : std::string();
}

// `path` made absolute against `startDir`, without "." parts and doubled
// slashes. ".." stays: only the file system knows where it leads.
std::string AbsoluteFrom(const std::string& startDir, const std::string& path) {
  const std::string full = path[0] == '/' ? path : startDir + "/" + path;
  std::string out;
  size_t pos = 0;
  while (pos < full.size()) {
    size_t end = full.find('/', pos);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(pos, end - pos);
    if (!part.empty() && part != ".") out += "/" + part;
    pos = end + 1;
  }
  return out.empty() ? "/" : out;
}

std::string StartDir() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

// Brings the window forward, back from the task bar when it was minimized;
// a maximized window stays maximized.
void BringToFront(CMainFrame* frame) {
  frame->setWindowState(frame->windowState() & ~Qt::WindowMinimized);
  frame->show();
  frame->raise();
  frame->activateWindow();
}

// Answers one request of a later start, then acts on it: a box the action
// opens never keeps the asking start waiting.
void Serve(CMainFrame* frame, QLocalSocket* peer, const InstanceMessage& request) {
  InstanceMessage answer{kAnswerOk, {}};
  const std::string& verb = request.verb;
  if (verb == kVerbList) {
    for (const engine::ItemPtr& item : frame->Items(engine::ConvertKind::Video))
      answer.items.push_back(item->sourcePath);
  } else if (verb != kVerbRaise && verb != kVerbOpen && verb != kVerbClose) {
    answer.verb = kAnswerUnknown;
  }
  const std::string data = EncodeInstanceMessage(answer);
  peer->write(data.data(), static_cast<qint64>(data.size()));
  peer->flush();
  peer->disconnectFromServer();

  if (verb == kVerbRaise) {
    BringToFront(frame);
  } else if (verb == kVerbOpen) {
    std::vector<std::string> files;
    for (const std::string& item : request.items)
      if (!item.empty() && item[0] == '/') files.push_back(item);
    BringToFront(frame);
    frame->OpenFiles(files);
  } else if (verb == kVerbClose) {
    frame->close();
  }
}

// Takes the requests of later starts: one request per connection, read whole
// however it is cut into pieces, only from processes of this user.
void ServeLaterStarts(QLocalServer& server, CMainFrame* frame) {
  auto accept = [&server, frame] {
    while (QLocalSocket* peer = server.nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      if (!PeerIsThisUser(peer->socketDescriptor())) {
        peer->abort();
        peer->deleteLater();
        continue;
      }
      QTimer::singleShot(kRequestTimeoutMs, peer, [peer] {
        peer->abort();
        peer->deleteLater();
      });
      auto received = std::make_shared<std::string>();
      auto served = std::make_shared<bool>(false);
      QObject::connect(peer, &QLocalSocket::readyRead, frame, [peer, frame, received, served] {
        const QByteArray chunk = peer->readAll();
        if (*served) return;
        received->append(chunk.constData(), static_cast<size_t>(chunk.size()));
        InstanceMessage request;
        size_t used = 0;
        switch (DecodeInstanceMessage(*received, &request, &used)) {
          case DecodeResult::Incomplete:
            return;
          case DecodeResult::Malformed:
            *served = true;
            peer->abort();
            peer->deleteLater();
            return;
          case DecodeResult::Complete:
            *served = true;
            received->clear();
            Serve(frame, peer, request);
            return;
        }
      });
    }
  };
  QObject::connect(&server, &QLocalServer::newConnection, frame, accept);
  accept();  // starts that knocked while the window was being made
}

// Starts the program again as the desktop user when root runs it for a user
// (sudo, pkexec); otherwise just starts it again.
void StartAgainAsDesktopUser() {
  const std::string program = platform::JoinPath(platform::ProgramDir(), "pelmar-video-converter");
  std::vector<std::string> argv = {program};
  const char* uid = getenv("SUDO_UID");
  if (!uid || !*uid) uid = getenv("PKEXEC_UID");
  if (getuid() == 0 && uid && *uid) {
    if (const passwd* user = getpwuid(static_cast<uid_t>(atol(uid)))) {
      argv = {"setpriv", "--reuid=" + std::to_string(user->pw_uid),
              "--regid=" + std::to_string(user->pw_gid), "--init-groups", program};
    }
  }
  platform::ProcessOptions options;
  options.killWithParent = false;  // it must outlive us
  platform::Process process;
  std::string error;
  if (process.start(argv, options, &error)) process.Detach();
  else app::DebugTrace("the program could not be started again: %s\n", error.c_str());
}

int RunSwitch(const std::string& which, const app::AppPaths& paths) {
  if (which == "/uninstall") {
    TellRunningInstance({kVerbClose, {}});
    std::string script = paths.InstallFile("uninstall");
    if (platform::FileExists(script)) {
      platform::ProcessOptions options;
      options.workDir = paths.installDir;
      options.killWithParent = false;
      platform::Process process;
      if (process.start({script}, options)) process.Detach();
    }
  } else if (which == "/tjuninstall") {
    app::ServerConfig server(paths);
    if (server.OpenUninstallFeedback() == 1) app::OpenAddress(Q(app::CurrentWebValues().feedbackUrl));
  } else if (which == "/install") {
    StartAgainAsDesktopUser();
  }
  return 0;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& args, const std::string& startDir) {
  CommandLine line;
  bool onlyFiles = false;  // after "--"
  for (const std::string& arg : args) {
    if (arg.empty()) continue;
    std::string path = arg;
    if (!onlyFiles) {
      if (arg == "--") {
        onlyFiles = true;
        continue;
      }
      if (arg == "/uninstall" || arg == "/tjuninstall" || arg == "/install" || arg[0] == '-') {
        line.switches.push_back(arg);
        continue;
      }
      if (arg.rfind("file:", 0) == 0) path = PathOfFileUrl(arg);
    }
    if (path.empty() || (path[0] != '/' && startDir.empty())) continue;
    path = AbsoluteFrom(startDir, path);
    if (!platform::IsRegularFile(path)) continue;
    if (std::find(line.files.begin(), line.files.end(), path) == line.files.end())
      line.files.push_back(path);
  }
  return line;
}

std::string FindSwitch(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += a + " ";
  // "/uninstall" also holds "/install"; the order of the checks decides.
  for (const char* s : {"/uninstall", "/tjuninstall", "/install"})
    if (line.find(s) != std::string::npos) return s;
  return {};
}

std::string InstanceName() {
  // One window per user, desktop session and data folder: two windows on one
  // folder would write the same settings and logs, while a second session
  // (its own display) or a second data folder (a test's sandbox) is a world
  // of its own.
  return "PelmarVideoConvertWindowClass-" + std::to_string(getuid()) + "-" +
         InstanceNameSuffix(platform::DataHome(), DesktopSession());
}

int RunProgram(int argc, char** argv) {
  app::InstallCrashHandlers();
  if (const char* message = app::CrashBoxMessage(argc, argv)) {
    const QString text = QString::fromUtf8(message);
    QApplication box(argc, argv);
    QMessageBox(QMessageBox::Critical, QStringLiteral("except"), text, QMessageBox::Ok).exec();
    return 0;
  }
  // Qt takes its own options out of argv here.
  QApplication application(argc, argv);
  const CommandLine line = ReadCommandLine({argv + 1, argv + argc}, StartDir());

  // The switches come before the single-instance check: a running program
  // must not swallow an uninstall.
  const std::string which = FindSwitch(line.switches);
  if (!which.empty()) {
    app::AppPaths paths = app::AppPaths::Build();
    app::SetPaths(paths);
    app::SetCurrentLanguageId(app::StartLanguageId(paths));
    app::ApplyLanguageWebValues(app::CurrentLanguageId(), paths, &app::Oem());
    return RunSwitch(which, paths);
  }

  // One window per user: a later start hands its files to the first one and
  // brings it forward, before it touches any file of its own.
  const InstanceMessage request =
      line.files.empty() ? InstanceMessage{kVerbRaise, {}} : InstanceMessage{kVerbOpen, line.files};
  if (TellRunningInstance(request)) return 0;
  QLocalServer server;
  server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
  if (!server.listen(Q(InstanceName()))) {
    // Another start won the race a moment ago.
    if (TellRunningInstance(request)) return 0;
  }

  const app::AppPaths paths = app::StartUp();
  app::SetWindowTitle(app::ComposeWindowTitle());
  if (app::Settings().sendAction != 0) app::ApplyCrashRecordRule(paths, app::Settings().sendAction);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    int dpi = static_cast<int>(screen->logicalDotsPerInch() * screen->devicePixelRatio());
    app::DebugTrace("sys DPI is %d\n", dpi);
    app::DebugTrace("scale step %d\n", DpiStep(dpi));
  }

  if (!app::SelectSkinArchive(app::CurrentLanguageId(), paths.installDir, &app::Oem()) ||
      !app::UseSelectedSkinArchive()) {
    QMessageBox(QMessageBox::Information, QStringLiteral("Error"),
                Q(app::LangText(app::langkey::kSkinLost, app::kSectionText)), QMessageBox::Ok)
        .exec();
    return 0;
  }
  app::ApplyLanguageDirection(app::CurrentLanguageId());
  engine::ListSession::CleanUpEndedRuns(engine::EngineDirs::ForApp(paths));

  auto* frame = new CMainFrame;
  if (!frame->Create()) {
    delete frame;
    return 0;
  }
  ServeLaterStarts(server, frame);
  frame->resize(1000, 680);
  frame->CenterWindow();
  frame->show();
  if (!line.files.empty())
    QTimer::singleShot(0, frame, [frame, files = line.files] { frame->OpenFiles(files); });
  application.exec();
  delete frame;
  app::ReleaseSkinArchive();
  return 0;
}

}  // namespace ui
