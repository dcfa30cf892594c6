#include "tests/support/other_user.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testsupport {
namespace {

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

bool CanActAsAnotherUser() { return geteuid() == 0; }

std::string RunUnprivileged(const std::function<std::string()>& body, uid_t uid) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return std::string("pipe: ") + strerror(errno);
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return std::string("fork: ") + strerror(errno);
  }
  if (child == 0) {
    close(fds[0]);
    std::string result;
    if (geteuid() == 0) {
      const gid_t gid = static_cast<gid_t>(uid);
      if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 ||
          setresuid(uid, uid, uid) != 0)
        result = std::string("cannot become uid ") + std::to_string(uid) + ": " + strerror(errno);
      else if (geteuid() != uid || setuid(0) == 0)
        result = "the child kept its privileges";
    }
    // A "!" in front tells the body's own answer from a failure to run it.
    if (result.empty()) {
      result = "!" + body();
    }
    WriteAll(fds[1], result);
    close(fds[1]);
    _exit(0);
  }
  close(fds[1]);
  std::string got;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return "the child ended abnormally (status " + std::to_string(status) + ")";
  if (got.empty() || got[0] != '!') return got.empty() ? "the child said nothing" : got;
  return got.substr(1);
}

std::string OpenPathToOthers(const std::string& root, const std::string& path) {
  std::string at = path;
  while (!at.empty()) {
    struct stat st;
    if (stat(at.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      if (at.size() >= root.size())
        chmod(at.c_str(), (st.st_mode & 07777) | 0011);
      else if ((st.st_mode & 0001) == 0)
        return at + " lets no other user through";
    }
    const size_t slash = at.rfind('/');
    if (slash == std::string::npos) break;
    at.erase(slash);
  }
  return {};
}

}  // namespace testsupport
