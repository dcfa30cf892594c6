#include "tests/support/sandbox.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/files.h"

namespace testsupport {
namespace {

// The folder the test process was started with, taken before any sandbox
// replaces TMPDIR.
const std::string& BaseTemp() {
  static const std::string base = [] {
    const char* t = getenv("TMPDIR");
    return std::string(t && t[0] == '/' ? t : "/tmp");
  }();
  return base;
}

}  // namespace

Sandbox::Sandbox() {
  std::string pattern = BaseTemp() + "/pelmar-test-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) {
    ADD_FAILURE() << "cannot make a sandbox under " << BaseTemp();
    return;
  }
  root_ = name.data();
  for (const std::string& dir : {home(), dataHome(), configHome(), tmp(), installDir(),
                                 root_ + "/etc", root_ + "/home/Documents"})
    platform::CreateFolders(dir);
  setenv("HOME", home().c_str(), 1);
  setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
  setenv("XDG_CONFIG_HOME", configHome().c_str(), 1);
  setenv("XDG_CACHE_HOME", (home() + "/.cache").c_str(), 1);
  setenv("TMPDIR", tmp().c_str(), 1);
  setenv("PELMAR_MACHINE_REGISTRY", machineRegistry().c_str(), 1);

  // Commands that could power the machine off answer harmlessly here.
  static bool shimmed = false;
  if (!shimmed) {
    shimmed = true;
    std::string bin = root_ + "/harmless-bin";
    platform::CreateFolders(bin);
    for (const char* name : {"systemctl", "shutdown", "poweroff", "halt", "reboot"}) {
      std::string file = bin + "/" + name;
      std::ofstream(file) << "#!/bin/sh\nexit 0\n";
      chmod(file.c_str(), 0755);
    }
    const char* path = getenv("PATH");
    setenv("PATH", (bin + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
  }
}

Sandbox::~Sandbox() {
  const char* keep = getenv("PELMAR_KEEP_TEST_DIRS");
  if (!root_.empty() && !(keep && *keep == '1')) platform::RemoveTree(root_);
}

void SandboxTest::SetUp() { sandbox_ = std::make_unique<Sandbox>(); }
void SandboxTest::TearDown() { sandbox_.reset(); }

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names = platform::ListFolder(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testsupport
