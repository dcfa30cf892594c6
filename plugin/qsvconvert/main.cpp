// qsvconvert SOURCE OUT.flv
// Turns a QSV cache file into an ordinary video: FLV segments (version 1)
// into OUT.flv; MPEG-TS segments (version 2) into OUT.flv.mp4, with an empty
// OUT.flv saying that the video is in its companion. On failure it exits 1
// with one line on standard error and leaves nothing.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "plugin/qsvconvert/qsv_file.h"

namespace {

int Fail(const std::string& why) {
  fprintf(stderr, "qsvconvert: %s\n", why.c_str());
  return 1;
}

// Rewrites the joined stream into a container of its own with the system's
// ffmpeg, which sets the duration and index that the segments lack.
bool Remux(const std::string& joined, const char* joinedFormat, const std::string& target,
           const char* targetFormat, std::string* why) {
  const std::string log = joined + ".log";
  platform::ProcessOptions options;
  options.stderrFile = log;
  const std::vector<std::string> argv = {
      "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
      "-protocol_whitelist", "file", "-f", joinedFormat, "-i", joined,
      "-map", "0:v?", "-map", "0:a?", "-c", "copy", "-f", targetFormat, target};
  std::string error;
  const int code = platform::RunAndWait(argv, options, &error);
  std::string said = platform::LastLines(log, 1);
  while (!said.empty() && (said.back() == '\n' || said.back() == ' ')) said.pop_back();
  platform::DeleteFile(log);
  if (code == 0 && platform::FileSize(target) > 0) return true;
  if (code < 0) *why = "ffmpeg could not be started: " + error;
  else *why = "ffmpeg could not remux the joined segments" + (said.empty() ? "" : ": " + said);
  platform::DeleteFile(target);
  return false;
}

int Convert(const std::string& source, const std::string& flv) {
  FILE* in = fopen(source.c_str(), "rb");
  if (!in) return Fail("cannot open " + source);
  struct stat st {};
  qsv::Index index;
  std::string why;
  if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) why = "not a plain file: " + source;
  else qsv::ReadIndex(in, st.st_size, &index, &why);
  if (!why.empty()) {
    fclose(in);
    return Fail(why);
  }
  const std::string joined = flv + ".part";
  FILE* out = fopen(joined.c_str(), "wb");
  if (!out) {
    fclose(in);
    return Fail("cannot write " + joined);
  }
  const bool ok = qsv::JoinSegments(in, index, out, &why);
  fclose(in);
  if (fclose(out) != 0 && ok) why = "cannot write " + joined;
  if (!why.empty()) {
    platform::DeleteFile(joined);
    return Fail(why);
  }
  const bool flvSegments = index.version == static_cast<uint32_t>(qsv::SegmentKind::Flv);
  const std::string target = flvSegments ? flv : flv + ".mp4";
  const bool remuxed = Remux(joined, flvSegments ? "flv" : "mpegts", target,
                             flvSegments ? "flv" : "mp4", &why);
  platform::DeleteFile(joined);
  if (!remuxed) return Fail(why);
  if (!flvSegments && !platform::WriteFileAtomic(flv, std::string())) {
    platform::DeleteFile(target);
    return Fail("cannot write " + flv);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "qsvconvert: usage: qsvconvert SOURCE OUT.flv\n");
    return 2;
  }
  return Convert(argv[1], argv[2]);
}
