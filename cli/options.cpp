#include "cli/options.h"

#include <cerrno>
#include <cstdlib>

#include "engine/format_catalog.h"

namespace cli {
namespace {

using engine::ConvertKind;

bool ParseInt(const std::string& text, long long min, long long max, long long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

// "A-B" of whole numbers; "A,B,C,D" likewise.
bool ParseNumbers(const std::string& text, char sep, size_t count, std::vector<int>* out) {
  out->clear();
  size_t start = 0;
  while (out->size() < count) {
    size_t end = text.find(sep, start);
    if (out->size() + 1 == count) end = std::string::npos;
    long long v;
    if (!ParseInt(text.substr(start, end == std::string::npos ? std::string::npos : end - start),
                  0, 1000000000, &v))
      return false;
    out->push_back(static_cast<int>(v));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out->size() == count;
}

}  // namespace

std::string UsageText() {
  std::string formats, presets, files, originOnly;
  for (const media::OutputFormat f : engine::OutputFormats()) {
    const std::string token = engine::FormatToken(f), extension = engine::FormatExtension(f);
    formats += (formats.empty() ? "" : "|") + token;
    if (extension != token) files += (files.empty() ? "" : ", ") + token + " writes ." + extension;
    if (engine::IsLosslessSound(f)) originOnly += (originOnly.empty() ? "" : ", ") + token;
  }
  if (!files.empty()) files = ";\n                                      " + files;
  if (!originOnly.empty()) originOnly = "; " + originOnly + ": origin only";
  for (const media::SizePreset p : engine::SizePresets())
    presets += (presets.empty() ? "" : "|") + engine::PresetToken(p);
  return "usage: pelmar-convert [options] FILE...\n"
         "  --list video|audio|gif|merge        which list the files go to (default video)\n"
         "  --format " + formats + "\n"
         "                                      (default: mp4, mp3, gif, mp4 by list" + files + ")\n"
         "  --preset " + presets + "\n"
         "                                      (default: origin; 720 for merge" + originOnly + ")\n"
         "  --out DIR             output folder (default: the program's output folder)\n"
         "  --name NAME           output name (one FILE only)\n"
         "  --trim START-END      kept range in whole seconds\n"
         "  --crop X,Y,W,H        crop rectangle in pixels of the picture as shown (a phone's\n"
         "                        portrait clip upright; not on a cache file)\n"
         "  --video-bitrate KBPS  video bit rate for the first conversion\n"
         "  --frame-rate FPS      frame rate for the first conversion\n"
         "  --probe               print each FILE's media properties and exit\n"
         "  --print-command       print each FILE's transcoder command, quoted for a shell,\n"
         "                        and exit\n"
         "  --help                this text\n";
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
  ParseResult r;
  CliOptions& o = r.options;
  bool formatGiven = false, presetGiven = false, onlyFiles = false;
  auto fail = [&](const std::string& why) {
    r.ok = false;
    r.error = why;
    return r;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
      o.files.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyFiles = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a == "--probe") {
      o.probe = true;
      continue;
    }
    if (a == "--print-command") {
      o.printCommand = true;
      continue;
    }
    static const char* const withValue[] = {"--list", "--format", "--preset", "--out", "--name",
                                            "--trim", "--crop", "--video-bitrate", "--frame-rate"};
    bool known = false;
    for (const char* w : withValue) known = known || a == w;
    if (!known) return fail("unknown option " + a);
    if (i + 1 >= args.size()) return fail(a + " needs a value");
    const std::string v = args[++i];
    if (a == "--list") {
      const char* lists[] = {"video", "audio", "gif", "merge"};
      int found = -1;
      for (int k = 0; k < 4; ++k)
        if (v == lists[k]) found = k;
      if (found < 0) return fail("--list takes video, audio, gif or merge, not \"" + v + "\"");
      o.list = static_cast<ConvertKind>(found);
    } else if (a == "--format") {
      if (!engine::ParseFormatToken(v, &o.format)) return fail("unknown format \"" + v + "\"");
      formatGiven = true;
    } else if (a == "--preset") {
      if (!engine::ParsePresetToken(v, &o.preset)) return fail("unknown preset \"" + v + "\"");
      presetGiven = true;
    } else if (a == "--out") {
      if (v.empty()) return fail("--out needs a folder");
      o.outDir = v;
    } else if (a == "--name") {
      if (v.empty() || v.find('/') != std::string::npos || v == "." || v == "..")
        return fail("--name takes a file name without \"/\"");
      o.name = v;
    } else if (a == "--trim") {
      std::vector<int> n;
      if (!ParseNumbers(v, '-', 2, &n) || n[0] >= n[1])
        return fail("--trim takes START-END in whole seconds with START before END");
      o.trim = true;
      o.trimStart = n[0];
      o.trimEnd = n[1];
    } else if (a == "--crop") {
      std::vector<int> n;
      if (!ParseNumbers(v, ',', 4, &n) || n[2] <= 0 || n[3] <= 0)
        return fail("--crop takes X,Y,W,H in pixels with a width and height above 0");
      o.crop = true;
      o.cropX = n[0];
      o.cropY = n[1];
      o.cropWidth = n[2];
      o.cropHeight = n[3];
    } else if (a == "--video-bitrate") {
      long long kbps;
      if (!ParseInt(v, 1, 1000000, &kbps)) return fail("--video-bitrate takes kbit/s, 1 to 1000000");
      o.videoBitRate = kbps * 1000;
    } else if (a == "--frame-rate") {
      char* end = nullptr;
      double fps = strtod(v.c_str(), &end);
      if (v.empty() || *end != '\0' || !(fps > 0 && fps <= 1000))
        return fail("--frame-rate takes frames per second, above 0 and up to 1000");
      o.frameRate = static_cast<float>(fps);
    }
  }
  if (o.help) {
    r.ok = true;
    return r;
  }
  const engine::ListChoice start = engine::DefaultChoice(o.list);
  if (!formatGiven) o.format = start.format;
  if (!presetGiven) o.preset = start.preset;
  if (!engine::ListOffersFormat(o.list, o.format))
    return fail("format " + engine::FormatToken(o.format) + " does not belong to this list");
  if (!engine::ListTakesPreset(o.list, o.preset))
    return fail("this preset does not belong to this list");
  if (!engine::ListTakesPreset(o.list, o.format, o.preset))
    return fail("format " + engine::FormatToken(o.format) + " takes no preset but origin");
  if (o.files.empty()) return fail("no FILE given");
  if (!o.name.empty() && o.files.size() != 1) return fail("--name takes one FILE only");
  if (o.list == ConvertKind::Merge && o.files.size() < 2 && !o.probe && !o.printCommand)
    return fail("a merge needs at least two files");
  r.ok = true;
  return r;
}

}  // namespace cli
