// Probe throughput: ProbeMedia over 50 small files in this process, against
// one ffprobe process per file. Prints files per second of each and the ratio.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "media/media_info.h"
#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"

namespace {

constexpr int kFiles = 50;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A few containers of a 2 s, 320x240 clip with sound, copied to kFiles files.
bool MakeFiles(const std::string& dir, std::vector<std::string>* files) {
  const std::string ffmpeg = platform::FindProgram("ffmpeg");
  const char* const containers[] = {"mp4", "mkv", "avi", "mov", "flv"};
  std::vector<std::string> sources;
  for (const char* ext : containers) {
    const std::string file = dir + "/source." + ext;
    if (platform::RunAndWait({ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i",
                              "testsrc=size=320x240:rate=25:duration=2", "-f", "lavfi", "-i",
                              "sine=duration=2", "-pix_fmt", "yuv420p", file}) != 0)
      return false;
    sources.push_back(file);
  }
  for (int i = 0; i < kFiles; ++i) {
    const std::string& source = sources[i % sources.size()];
    std::string content;
    const std::string file =
        dir + "/file" + std::to_string(i) + "." + platform::ExtensionOf(source);
    if (!platform::ReadFile(source, &content) || !platform::WriteFileAtomic(file, content))
      return false;
    files->push_back(file);
  }
  return true;
}

}  // namespace

int main() {
  const std::string ffprobe = platform::FindProgram("ffprobe");
  if (ffprobe.empty() || platform::FindProgram("ffmpeg").empty()) {
    fprintf(stderr, "ffmpeg and ffprobe are needed\n");
    return 1;
  }
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pelmar-probe-bench-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    perror("mkdtemp");
    return 1;
  }
  const std::string dir = pattern;
  std::vector<std::string> files;
  if (!MakeFiles(dir, &files)) {
    fprintf(stderr, "cannot make the test files in %s\n", dir.c_str());
    platform::RemoveTree(dir);
    return 1;
  }

  // One untimed pass each, so both sides read from the page cache.
  int usable = 0;
  for (const std::string& file : files) {
    media::MediaInfo info;
    usable += media::ProbeMedia(file, info).usable ? 1 : 0;
  }
  platform::RunAndWait({ffprobe, "-v", "error", "-show_format", "-show_streams", files[0]});

  auto start = std::chrono::steady_clock::now();
  for (const std::string& file : files) {
    media::MediaInfo info;
    media::FillFromPath(file, info);
    media::ProbeMedia(file, info);
  }
  const double inProcess = Seconds(start);

  start = std::chrono::steady_clock::now();
  int failed = 0;
  for (const std::string& file : files) {
    if (platform::RunAndWait({ffprobe, "-v", "error", "-show_format", "-show_streams", file}) != 0)
      ++failed;
  }
  const double perProcess = Seconds(start);
  platform::RemoveTree(dir);

  printf("files: %d (usable %d, ffprobe failures %d)\n", kFiles, usable, failed);
  printf("ProbeMedia in process: %8.1f files/s (%.3f s)\n", kFiles / inProcess, inProcess);
  printf("ffprobe per file:      %8.1f files/s (%.3f s)\n", kFiles / perProcess, perProcess);
  printf("ratio: %.2f\n", perProcess / inProcess);
  return usable == kFiles && failed == 0 ? 0 : 1;
}
