// The front end's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/format_catalog.h"

namespace cli {

struct CliOptions {
  engine::ConvertKind list = engine::ConvertKind::Video;
  media::OutputFormat format = media::OutputFormat::Mp4;
  media::SizePreset preset = media::SizePreset::Origin;
  std::string outDir;          // "" = the program's output folder
  std::string name;            // "" = the source's title
  bool trim = false;
  int trimStart = 0, trimEnd = 0;
  bool crop = false;
  int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
  int64_t videoBitRate = 0;    // bit/s; 0 = none
  float frameRate = 0.0f;      // 0 = none
  bool probe = false;
  bool printCommand = false;
  bool help = false;
  std::vector<std::string> files;
};

struct ParseResult {
  bool ok = false;
  std::string error;  // one line for the user
  CliOptions options;
};

ParseResult ParseOptions(const std::vector<std::string>& args);
std::string UsageText();

}  // namespace cli
