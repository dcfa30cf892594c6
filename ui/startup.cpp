#include "ui/startup.h"

#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

#include <cstdlib>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/crash.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"
#include "app/core/server_config.h"
#include "app/ui/shell.h"
#include "app/ui/skin.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "platform/process.h"
#include "ui/main_frame.h"
#include "ui/main_window_rules.h"
#include "ui/message_dlg.h"

namespace ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Asks a running instance to do something; false when none answers.
bool TellRunningInstance(const QByteArray& request) {
  QLocalSocket socket;
  socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
  socket.connectToServer(Q(InstanceName()));
  if (!socket.waitForConnected(500)) return false;
  socket.write(request + "\n");
  socket.waitForBytesWritten(500);
  socket.disconnectFromServer();
  return true;
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
    TellRunningInstance("close");
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

std::string FindSwitch(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) line += a + " ";
  // "/uninstall" also holds "/install"; the order of the checks decides.
  for (const char* s : {"/uninstall", "/tjuninstall", "/install"})
    if (line.find(s) != std::string::npos) return s;
  return {};
}

std::string InstanceName() {
  return "PelmarVideoConvertWindowClass-" + std::to_string(getuid());
}

int RunProgram(int argc, char** argv) {
  app::InstallCrashHandlers();
  if (const char* message = app::CrashBoxMessage(argc, argv)) {
    const QString text = QString::fromUtf8(message);
    QApplication box(argc, argv);
    QMessageBox(QMessageBox::Critical, QStringLiteral("except"), text, QMessageBox::Ok).exec();
    return 0;
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  QApplication application(argc, argv);
  app::AppPaths paths = app::AppPaths::Build();

  // The switches come before the single-instance check: a running program
  // must not swallow an uninstall.
  const std::string which = FindSwitch(args);
  if (!which.empty()) {
    app::SetPaths(paths);
    app::SetCurrentLanguageId(app::StartLanguageId(paths));
    app::ApplyLanguageWebValues(app::CurrentLanguageId(), paths, &app::Oem());
    return RunSwitch(which, paths);
  }

  // One window per user: a second start brings the first one forward.
  if (TellRunningInstance("raise")) return 0;
  QLocalServer server;
  server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
  if (!server.listen(Q(InstanceName()))) {
    // Another start won the race a moment ago.
    if (TellRunningInstance("raise")) return 0;
  }

  paths.CreateDataDir();
  app::SetPaths(paths);
  app::SetCurrentLanguageId(app::StartLanguageId(paths));
  app::ApplyLanguageWebValues(app::CurrentLanguageId(), paths, &app::Oem());
  app::Settings().Read(paths);
  app::Oem().Read(paths);
  app::SetWindowTitle(app::ComposeWindowTitle());
  if (!paths.dataDir.empty()) app::SetRunLogPath(paths.DataFile("run.dat"));
  app::SetCrashFilePath(app::CrashFilePath(paths.installDir, paths.dataDir));
  if (app::Settings().sendAction != 0) app::ApplyCrashRecordRule(paths, app::Settings().sendAction);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    int dpi = static_cast<int>(screen->logicalDotsPerInch() * screen->devicePixelRatio());
    app::DebugTrace("sys DPI is %d\n", dpi);
    app::DebugTrace("scale step %d\n", DpiStep(dpi));
  }

  if (!app::SelectSkinArchive(app::CurrentLanguageId(), paths.installDir, &app::Oem()) ||
      !app::UseSelectedSkinArchive()) {
    QMessageBox(QMessageBox::Information, QStringLiteral("Error"),
                Q(app::LangText("SkinLost", "Text")), QMessageBox::Ok)
        .exec();
    return 0;
  }
  engine::SetDirs(engine::EngineDirs::ForApp(paths));

  auto* frame = new CMainFrame;
  if (!frame->Create()) {
    delete frame;
    return 0;
  }
  QObject::connect(&server, &QLocalServer::newConnection, frame, [&server, frame] {
    QLocalSocket* peer = server.nextPendingConnection();
    QObject::connect(peer, &QLocalSocket::readyRead, frame, [peer, frame] {
      const QByteArray request = peer->readAll().trimmed();
      if (request == "raise") {
        frame->showNormal();
        frame->raise();
        frame->activateWindow();
      } else if (request == "close") {
        frame->close();
      }
    });
    QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
  });
  frame->resize(1000, 680);
  frame->CenterWindow();
  frame->show();
  application.exec();
  delete frame;
  app::ReleaseSkinArchive();
  return 0;
}

}  // namespace ui
