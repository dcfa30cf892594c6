// Every test runs in its own folders: HOME, XDG folders and TMPDIR point into
// a fresh folder, so nothing touches the real user's files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& root() const { return root_; }
  std::string home() const { return root_ + "/home"; }
  std::string dataHome() const { return root_ + "/home/.local/share"; }
  std::string configHome() const { return root_ + "/home/.config"; }
  std::string tmp() const { return root_ + "/tmp"; }
  // A folder standing in for the install folder, with a fake program path.
  std::string installDir() const { return root_ + "/install"; }
  std::string programPath() const { return installDir() + "/pelmar-video-converter"; }
  std::string machineRegistry() const { return root_ + "/etc/registry.ini"; }
  std::string path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};

// Fixture: a fresh sandbox per test.
class SandboxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  Sandbox& sandbox() { return *sandbox_; }
  std::string path(const std::string& name) const { return sandbox_->path(name); }

 private:
  std::unique_ptr<Sandbox> sandbox_;
};

// Writes a whole file; fails the test when it cannot.
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// Every entry directly inside a folder, hidden ones included, sorted: what a
// user listing the folder would find. Empty when the folder is missing.
std::vector<std::string> FolderEntries(const std::string& dir);

}  // namespace testsupport
