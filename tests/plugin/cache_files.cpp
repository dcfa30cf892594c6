#include "tests/plugin/cache_files.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace cachefiles {

std::string LittleEndian(uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

std::string QsvBytes(uint32_t version, const std::vector<std::string>& segments) {
  std::string header = "QIYI VIDEO";
  header += LittleEndian(version, 4);
  header += std::string(16, 'v');        // video id
  header += std::string(44, '\0');       // reserved
  header += LittleEndian(0, 8) + LittleEndian(0, 4);  // no description block
  header += LittleEndian(segments.size(), 4);
  uint64_t offset = header.size() + segments.size() * 28;
  std::string index, body;
  for (const std::string& segment : segments) {
    index += std::string(16, 'k') + LittleEndian(offset, 8) + LittleEndian(segment.size(), 4);
    std::string scrambled = segment;
    for (size_t i = 0; i < scrambled.size() && i < 0x400; ++i)
      scrambled[i] = static_cast<char>(scrambled[i] ^ ((i * 0x9D + 0x5A) & 0xFF));
    body += scrambled;
    offset += segment.size();
  }
  return header + index + body;
}

bool WriteKux(const std::string& path, const std::string& flv) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, "KDK", 3) == 3 &&
            pwrite(fd, flv.data(), flv.size(), 0xE40000) == static_cast<ssize_t>(flv.size());
  return close(fd) == 0 && ok;
}

std::vector<std::string> ClipSegments(const std::string& dir, const std::string& container,
                                      int count) {
  platform::CreateFolders(dir);
  const std::string extension = container == "flv" ? ".flv" : ".ts";
  const std::string pattern = dir + "/segment%d" + extension;
  const std::string seconds = std::to_string(count);
  platform::ProcessOptions options;
  options.stderrFile = dir + "/ffmpeg.log";
  const int code = platform::RunAndWait(
      {testsupport::FfmpegPath(), "-v", "error", "-y", "-f", "lavfi", "-i",
       "testsrc=size=160x120:rate=25:duration=" + seconds, "-f", "lavfi", "-i",
       "sine=duration=" + seconds, "-c:v", "libx264", "-g", "25", "-c:a", "aac", "-shortest",
       "-f", "segment", "-segment_time", "1", "-segment_format", container, pattern},
      options);
  std::vector<std::string> segments;
  if (code != 0) return segments;
  for (int i = 0;; ++i) {
    const std::string file = dir + "/segment" + std::to_string(i) + extension;
    if (!platform::IsRegularFile(file)) break;
    segments.push_back(testsupport::ReadText(file));
  }
  return segments;
}

}  // namespace cachefiles
