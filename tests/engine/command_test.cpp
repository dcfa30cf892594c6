#include <algorithm>
#include <cstring>
#include <functional>

#include "engine/command.h"
#include "engine/format_catalog.h"
#include "engine/item_clip.h"
#include "engine/video_item.h"
#include "gtest/gtest.h"
#include "platform/process.h"
#include "tests/support/sandbox.h"

using namespace engine;
using media::CacheKind;
using media::SizePreset;

namespace {

const char* kStart =
    "ffmpeg -hide_banner -progress /log/p -y -protocol_whitelist file -i /in/clip.mp4";

// The output format as the session sets it: the value and its token.
void SetFormat(VideoItem& item, const std::string& token) {
  item.outputExtension = token;
  EXPECT_TRUE(ParseFormatToken(token, &item.outputFormat)) << token;
}

// An analysed 1280x720 25 fps stereo file with nothing changed by the user.
std::unique_ptr<VideoItem> Item(ConvertKind kind, const std::string& ext) {
  auto item = std::make_unique<VideoItem>("/in/clip.mp4", kind);
  item->width = 1280;
  item->height = 720;
  item->cropWidth = 1280;
  item->cropHeight = 720;
  item->resolutionText = "1280x720";
  item->outputWidth = 1280;
  item->outputHeight = 720;
  item->frameRate = 25.0f;
  item->audioChannels = 2;
  item->audioBitRateText = "128";
  item->audioKbps = 128;
  item->outputAudioKbps = 128;
  item->durationSeconds = 60;
  item->trimEnd = 60;
  SetFormat(*item, ext);
  return item;
}

// The arguments after the start, each after a blank (the display line
// quotes them for a shell; these tests read the words themselves).
std::string Tail(const Command& cmd) {
  std::string d;
  for (const std::string& a : cmd.args()) d += (d.empty() ? "" : " ") + a;
  EXPECT_EQ(d.compare(0, strlen(kStart), kStart), 0) << d;
  return d.substr(strlen(kStart));
}

// The command's arguments hold each of `has` and none of `lacks`.
void ExpectFragments(const std::string& name, const std::string& tail,
                     const std::vector<std::string>& has, const std::vector<std::string>& lacks) {
  const std::string line = tail + " ";
  for (const std::string& h : has)
    EXPECT_NE(line.find(h), std::string::npos) << name << ": " << line;
  for (const std::string& l : lacks)
    EXPECT_EQ(line.find(l), std::string::npos) << name << ": " << line;
}

// The job's choices: its progress file and the output it named.
CommandInputs Inputs(const std::string& output = "/out/clip.mp4") {
  CommandInputs in;
  in.progressPath = "/log/p";
  in.outputPath = output;
  return in;
}

TEST(VideoCommand, PlainMkvConversion) {
  auto item = Item(ConvertKind::Video, "mkv");
  Command cmd = BuildCommand(*item, Inputs("/out/clip.mkv"));
  EXPECT_EQ(Tail(cmd),
            " -filter_complex [0:v]crop=1280:720:0:0 -ac 2 -c:a aac -preset superfast"
            " -pix_fmt yuv420p -max_muxing_queue_size 34500 -r 25.000000"
            " -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.mkv");
  // The argument vector holds the same words, paths unquoted and whole.
  std::vector<std::string> expected = {"ffmpeg", "-hide_banner", "-progress", "/log/p", "-y",
                                       "-protocol_whitelist", "file",
                                       "-i", "/in/clip.mp4", "-filter_complex",
                                       "[0:v]crop=1280:720:0:0"};
  ASSERT_GE(cmd.args().size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), cmd.args().begin()));
  EXPECT_EQ(cmd.args().back(), "/out/clip.mkv");
}

TEST(VideoCommand, FragmentsFollowTheItem) {
  struct Case {
    const char* name;
    std::function<void(VideoItem&, CommandInputs&)> change;
    const char* tail;
  } cases[] = {
      {"wmv gets h264 main", [](VideoItem& i, CommandInputs&) { SetFormat(i, "wmv"); },
       " -filter_complex [0:v]crop=1280:720:0:0 -c:v libx264 -profile:v main -ac 2 -c:a aac"
       " -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500 -r 25.000000"
       " -map 0:v? -map 0:a:0? /out/clip.mp4"},
      {"flv gets h264 main too", [](VideoItem& i, CommandInputs&) { SetFormat(i, "flv"); },
       " -filter_complex [0:v]crop=1280:720:0:0 -c:v libx264 -profile:v main -ac 2 -c:a aac"
       " -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500 -r 25.000000"
       " -map 0:v? -map 0:a:0? /out/clip.mp4"},
      {"a quarter turn: the crop of the upright picture; mono: no -ac",
       [](VideoItem& i, CommandInputs&) {
         i.rotation = 90; i.cropX = 100; i.cropY = 400; i.cropWidth = 480; i.cropHeight = 640;
         i.audioChannels = 1;
       },
       " -filter_complex [0:v]crop=480:640:100:400 -c:a aac -preset superfast -pix_fmt yuv420p"
       " -max_muxing_queue_size 34500 -r 25.000000 -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.mp4"},
      {"turned aslant: no crop",
       [](VideoItem& i, CommandInputs&) { i.rotation = 45; i.audioChannels = 1; },
       " -c:a aac -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500"
       " -r 25.000000 -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.mp4"},
      {"cache source: no crop",
       [](VideoItem& i, CommandInputs&) { i.cacheKind = CacheKind::Qsv; },
       " -ac 2 -c:a aac -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500"
       " -r 25.000000 -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.mp4"},
      {"size change, trim, data stream, overrides, odd rate and queue size",
       [](VideoItem& i, CommandInputs& in) {
         i.outputWidth = 1920; i.outputHeight = 1080;
         i.trimEnd = 30;
         i.hasDataStream = true;
         i.frameRate = 29.97003f;
         in.customBitRate = 2500000;
         in.muxingQueueSize = "9999";
       },
       " -filter_complex [0:v]crop=1280:720:0:0 -ac 2 -c:a aac -preset superfast"
       " -pix_fmt yuv420p -max_muxing_queue_size 9999 -b:v 2500k -dn -r 29.970030"
       " -map 0:v? -map 0:a:0? -map_metadata 0 -s 1920x1080 -ss 0 -to 30 /out/clip.mp4"},
      {"frame rate override wins over the item's",
       [](VideoItem& i, CommandInputs& in) { in.customFrameRate = 15.0f; (void)i; },
       " -filter_complex [0:v]crop=1280:720:0:0 -ac 2 -c:a aac -preset superfast"
       " -pix_fmt yuv420p -max_muxing_queue_size 34500 -r 15.000000"
       " -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.mp4"},
  };
  for (const Case& c : cases) {
    auto item = Item(ConvertKind::Video, "mp4");
    CommandInputs in = Inputs();
    c.change(*item, in);
    EXPECT_EQ(Tail(BuildCommand(*item, in)), c.tail) << c.name;
  }
}

TEST(VideoCommand, GifHasNoCodecAndNoStreamMap) {
  auto item = Item(ConvertKind::Gif, "gif");
  item->durationSeconds = item->trimEnd = 4;
  EXPECT_EQ(Tail(BuildCommand(*item, Inputs("/out/clip.gif"))),
            " -filter_complex [0:v]crop=1280:720:0:0,split[a][b];"
            "[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=bayer:bayer_scale=5"
            " -ac 2 -c:a aac -preset superfast -max_muxing_queue_size 34500 -r 25.000000"
            " /out/clip.gif");
}

// A GIF's palette is its own: made in the graph from the kept frames, never
// replaced by a picture format afterwards.
TEST(VideoCommand, GifPaletteGraph) {
  const std::string clipPalette =
      "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=bayer:bayer_scale=5 ";
  const std::string framePalette =
      "split[a][b];[a]palettegen=stats_mode=single[p];"
      "[b][p]paletteuse=dither=bayer:bayer_scale=5:new=1 ";
  struct Case {
    const char* name;
    std::function<void(VideoItem&)> change;
    std::vector<std::string> has, lacks;
  } cases[] = {
      {"a short clip: one palette for the clip",
       [](VideoItem& i) { i.durationSeconds = i.trimEnd = 4; },
       {"[0:v]crop=1280:720:0:0," + clipPalette}, {"-pix_fmt", "trim", "new=1"}},
      {"the kept range is cut before the palette, not at the output",
       [](VideoItem& i) { i.trimStart = 10; i.trimEnd = 13; },
       {"[0:v]trim=start=10:end=13,setpts=PTS-STARTPTS,crop=1280:720:0:0," + clipPalette},
       {" -ss ", " -to ", "-pix_fmt"}},
      {"a cut from the start keeps its end",
       [](VideoItem& i) { i.trimEnd = 2; }, {"[0:v]trim=start=0:end=2,setpts="}, {" -to "}},
      {"a minute at 720p would hold gigabytes: a palette per frame",
       [](VideoItem&) {}, {framePalette}, {"stats_mode=full", "-pix_fmt"}},
      {"the same minute at 200p fits",
       [](VideoItem& i) { i.outputWidth = 356; i.outputHeight = 200; },
       {",setsar=1," + clipPalette}, {}},
      {"a high frame rate counts",
       [](VideoItem& i) {
         i.outputWidth = 356; i.outputHeight = 200; i.frameRate = 120.0f;
       },
       {framePalette}, {}},
      {"interlaced and trimmed: cut, then fields, then crop",
       [](VideoItem& i) { i.interlaced = true; i.trimStart = 1; i.trimEnd = 3; },
       {"[0:v]trim=start=1:end=3,setpts=PTS-STARTPTS,yadif,crop=1280:720:0:0," + clipPalette},
       {}},
      {"a cache source: no crop, still a palette",
       [](VideoItem& i) { i.cacheKind = CacheKind::Qsv; i.durationSeconds = i.trimEnd = 2; },
       {" -filter_complex [0:v]" + clipPalette}, {"crop"}},
  };
  for (const Case& c : cases) {
    auto item = Item(ConvertKind::Gif, "gif");
    c.change(*item);
    ExpectFragments(c.name, Tail(BuildCommand(*item, Inputs("/out/clip.gif"))), c.has, c.lacks);
  }
}

// A PQ or HLG source is tone-mapped to BT.709 SDR in the graph, after the
// crop and before any size change, and the picture outputs say BT.709.
TEST(VideoCommand, HighDynamicRangeSourcesAreToneMapped) {
  const std::string pq =
      "zscale=tin=smpte2084:min=bt2020nc:pin=bt2020:t=linear:p=bt2020:npl=100,"
      "format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=mobius:desat=0,"
      "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";
  const std::string flags = " -color_primaries bt709 -color_trc bt709 -colorspace bt709 ";
  auto hdr10 = [](VideoItem& i) {
    i.colorTransfer = "smpte2084";
    i.colorPrimaries = "bt2020";
    i.colorMatrix = "bt2020nc";
  };

  auto item = Item(ConvertKind::Video, "mp4");
  hdr10(*item);
  EXPECT_EQ(Tail(BuildCommand(*item, Inputs())),
            " -filter_complex [0:v]crop=1280:720:0:0," + pq +
                " -ac 2 -c:a aac -preset superfast -pix_fmt yuv420p -color_primaries bt709"
                " -color_trc bt709 -colorspace bt709 -max_muxing_queue_size 34500 -r 25.000000"
                " -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.mp4");

  struct Case {
    const char* name;
    ConvertKind kind;
    std::function<void(VideoItem&)> change;
    std::vector<std::string> has, lacks;
  } cases[] = {
      {"HLG read as HLG", ConvertKind::Video,
       [](VideoItem& i) { i.colorTransfer = "arib-std-b67"; i.colorPrimaries = "bt2020";
                          i.colorMatrix = "bt2020nc"; },
       {"[0:v]crop=1280:720:0:0,zscale=tin=arib-std-b67:min=bt2020nc:pin=bt2020:", flags}, {}},
      {"unstated primaries and matrix are named, as BT.2020", ConvertKind::Video,
       [](VideoItem& i) { i.colorTransfer = "smpte2084"; },
       {"[0:v]crop=1280:720:0:0," + pq + " "}, {}},
      {"P3 primaries kept", ConvertKind::Video,
       [&](VideoItem& i) { hdr10(i); i.colorPrimaries = "smpte432"; },
       {":pin=smpte432:t=linear:p=smpte432:"}, {}},
      {"a value zscale cannot take, or one that would break the graph, is not passed on",
       ConvertKind::Video,
       [&](VideoItem& i) { hdr10(i); i.colorPrimaries = "bt2020,null"; i.colorMatrix = "bt2020c"; },
       {"[0:v]crop=1280:720:0:0," + pq + " "}, {"null", "bt2020c"}},
      {"rotated: cropped upright, then tone-mapped", ConvertKind::Video,
       [&](VideoItem& i) { hdr10(i); i.rotation = 90; i.cropWidth = 720; i.cropHeight = 1280; },
       {" -filter_complex [0:v]crop=720:1280:0:0," + pq + " ", flags}, {}},
      {"interlaced: fields made whole first", ConvertKind::Video,
       [&](VideoItem& i) { hdr10(i); i.interlaced = true; },
       {"[0:v]yadif,crop=1280:720:0:0," + pq + " "}, {}},
      {"resized by -s after the graph", ConvertKind::Video,
       [&](VideoItem& i) { hdr10(i); i.outputWidth = 640; i.outputHeight = 360; },
       {pq + " ", flags, " -s 640x360 "}, {}},
      {"merge part: before fitting and padding", ConvertKind::Merge,
       [&](VideoItem& i) { hdr10(i); },
       {"[0:v]crop=1280:720:0:0," + pq + ",scale='trunc(min(1280,", flags}, {}},
      {"GIF: before its size and palette, no colour marks", ConvertKind::Gif,
       [&](VideoItem& i) {
         hdr10(i); SetFormat(i, "gif"); i.outputWidth = 356; i.outputHeight = 200;
       },
       {"[0:v]crop=1280:720:0:0," + pq + ",scale='trunc(200*dar)"},
       {"-color_", "-colorspace", "-pix_fmt"}},
      {"BT.2020 with its SDR curve is no HDR", ConvertKind::Video,
       [](VideoItem& i) { i.colorTransfer = "bt2020-10"; i.colorPrimaries = "bt2020";
                          i.colorMatrix = "bt2020nc"; },
       {}, {"zscale", "tonemap", "-color_"}},
  };
  for (const Case& c : cases) {
    auto i = Item(c.kind, "mp4");
    c.change(*i);
    ExpectFragments(c.name, Tail(BuildCommand(*i, Inputs())), c.has, c.lacks);
  }

  // SDR marks change nothing: the command is the one of an unmarked source.
  for (ConvertKind kind : {ConvertKind::Video, ConvertKind::Merge, ConvertKind::Gif}) {
    auto plain = Item(kind, "mp4");
    auto marked = Item(kind, "mp4");
    marked->colorTransfer = "bt709";
    marked->colorPrimaries = "bt709";
    marked->colorMatrix = "bt709";
    EXPECT_EQ(BuildCommand(*marked, Inputs()).args(), BuildCommand(*plain, Inputs()).args())
        << static_cast<int>(kind);
  }
}

TEST(VideoCommand, MergePartsAreNormalised) {
  const std::string fit =
      "scale='trunc(min(1280,720*dar)/2)*2':'trunc(min(1280/dar,720)/2)*2',setsar=1:1,"
      "pad=1280:720:trunc((1280-iw)/2):trunc((720-ih)/2):black";
  struct Case {
    const char* name;
    std::function<void(VideoItem&)> change;
    std::string tail;
  } cases[] = {
      {"avi at 720p, mono source still gets two channels, no item rate",
       [](VideoItem& i) { SetFormat(i, "avi"); i.sizePreset = SizePreset::Size720;
                          i.audioChannels = 1; },
       " -filter_complex [0:v]crop=1280:720:0:0," + fit +
           " -r 30 -ac 2 -ar 44100 -b:a 128k -c:v msmpeg4 -b:v 2500k -c:a aac -preset superfast"
           " -pix_fmt yuv420p -max_muxing_queue_size 34500 -map 0:v? -map 0:a:0? -map_metadata 0 /out/p"},
      {"avi at 1080p uses xvid; a rotated part is cropped upright",
       [](VideoItem& i) { SetFormat(i, "avi"); i.sizePreset = SizePreset::Size1080;
                          i.rotation = 270; i.cropWidth = 720; i.cropHeight = 1000; },
       " -filter_complex [0:v]crop=720:1000:0:0," + fit +
           " -r 30 -ac 2 -ar 44100 -b:a 128k -c:v libxvid -b:v 3000k -c:a aac -preset superfast"
           " -pix_fmt yuv420p -max_muxing_queue_size 34500 -map 0:v? -map 0:a:0? -map_metadata 0 /out/p"},
      {"silent source gets a silent track",
       [](VideoItem& i) { SetFormat(i, "wmv"); i.sizePreset = SizePreset::Phone;
                          i.audioBitRateText.clear(); },
       " -f lavfi -i anullsrc=channel_layout=stereo:sample_rate=44100"
       " -filter_complex [0:v]crop=1280:720:0:0," + fit +
           " -r 30 -ac 2 -ar 44100 -b:a 128k -c:v wmv2 -b:v 512k -c:a aac -preset superfast"
           " -pix_fmt yuv420p -max_muxing_queue_size 34500 -map 0:v? -map 1:a -shortest -map_metadata 0"
           " /out/p"},
  };
  for (const Case& c : cases) {
    auto item = Item(ConvertKind::Merge, "mp4");
    c.change(*item);
    EXPECT_EQ(Tail(BuildCommand(*item, Inputs("/out/p"))), c.tail) << c.name;
  }

  // Without a size the part is padded to its own size.
  auto item = Item(ConvertKind::Merge, "mp4");
  item->outputWidth = item->outputHeight = 0;
  item->width = 640;
  item->height = 360;
  EXPECT_NE(BuildCommand(*item, Inputs()).Display().find(",pad=640:360:"), std::string::npos);
}

TEST(AudioCommand, FragmentsInTheirOrder) {
  struct Case {
    const char* name;
    std::function<void(VideoItem&, CommandInputs&)> change;
    const char* tail;
  } cases[] = {
      {"stereo mp3, bit rate unchanged", [](VideoItem&, CommandInputs&) {},
       " -map 0:a:0 -map_metadata 0 -c:a libmp3lame -ar 44100 -preset superfast -max_muxing_queue_size 34500"
       " /out/clip.mp3"},
      {"5.1 to mp3 at 256k after a cut",
       [](VideoItem& i, CommandInputs&) { i.audioChannels = 6; i.outputAudioKbps = 256;
                          i.trimStart = 10; i.trimEnd = 40; i.hasDataStream = true; },
       " -ss 10 -to 40 -map 0:a:0 -map_metadata 0 -c:a libmp3lame -ac 2 -ar 44100 -b:a 256k -preset superfast -dn"
       " -max_muxing_queue_size 34500 /out/clip.mp3"},
      {"m4a never carries the picture",
       [](VideoItem& i, CommandInputs& in) { SetFormat(i, "m4a"); in.outputPath = "/out/clip.m4a"; },
       " -map 0:a:0 -map_metadata 0 -c:a aac -vn -ar 44100 -preset superfast -max_muxing_queue_size 34500"
       " /out/clip.m4a"},
      {"no target bit rate: no -b:a",
       [](VideoItem& i, CommandInputs&) { i.outputAudioKbps = 0; },
       " -map 0:a:0 -map_metadata 0 -c:a libmp3lame -ar 44100 -preset superfast -max_muxing_queue_size 34500"
       " /out/clip.mp3"},
      {"the configured muxing queue size, as for pictures",
       [](VideoItem&, CommandInputs& in) { in.muxingQueueSize = "9999"; },
       " -map 0:a:0 -map_metadata 0 -c:a libmp3lame -ar 44100 -preset superfast -max_muxing_queue_size 9999"
       " /out/clip.mp3"},
  };
  for (const Case& c : cases) {
    auto item = Item(ConvertKind::Audio, "mp3");
    CommandInputs in = Inputs("/out/clip.mp3");
    c.change(*item, in);
    EXPECT_EQ(Tail(BuildCommand(*item, in)), c.tail) << c.name;
  }
}

TEST(Command, NamesCannotInjectOptions) {
  auto item = Item(ConvertKind::Video, "mp4");
  item->sourcePath = "/in/-y \"x\" -f null .mp4";
  Command cmd = BuildCommand(*item, Inputs("/out/a b;c.mp4"));
  const auto input = std::find(cmd.args().begin(), cmd.args().end(), "-i");
  ASSERT_NE(input, cmd.args().end());
  EXPECT_EQ(*(input + 1), "/in/-y \"x\" -f null .mp4");
  EXPECT_EQ(cmd.args().back(), "/out/a b;c.mp4");
}

TEST(Command, TheOutputIsTheJobsNeverTheItemsLastOne) {
  for (ConvertKind kind : {ConvertKind::Video, ConvertKind::Audio, ConvertKind::Merge}) {
    auto item = Item(kind, "mp4");
    item->outputPath = "/out/the last run's file.mp4";
    Command cmd = BuildCommand(*item, Inputs("/out/clip_0_7.mp4"));
    EXPECT_EQ(cmd.args().back(), "/out/clip_0_7.mp4") << static_cast<int>(kind);
  }
}

TEST(Command, EvenCropSides) {
  EXPECT_EQ(EvenCropSide(853, 0, 853), 852);
  EXPECT_EQ(EvenCropSide(301, 10, 480), 302);
  EXPECT_EQ(EvenCropSide(640, 0, 853), 640);
}

TEST(VideoItemRecord, NamesFromThePath) {
  struct Case {
    const char* path;
    const char* title;
    const char* ext;
    CacheKind cache;
  } cases[] = {{"/v/movie.MP4", "movie", "mp4", CacheKind::None},
               {"/v/a.b.QSV", "a.b", "qsv", CacheKind::Qsv},
               {"/v/noext", "noext", "", CacheKind::None}};
  for (const Case& c : cases) {
    VideoItem item(c.path, ConvertKind::Video);
    EXPECT_EQ(item.title, c.title);
    EXPECT_EQ(item.outputName, c.title);
    EXPECT_EQ(item.extension, c.ext);
    EXPECT_EQ(item.cacheKind, c.cache);
    EXPECT_EQ(item.fileSizeText, "");  // the file is not there
  }
  VideoItem a("x.mp4", ConvertKind::Video), b("x.mp4", ConvertKind::Video);
  EXPECT_NE(a.itemId, b.itemId);  // the counter tells apart items of one microsecond
  EXPECT_EQ(a.sourcePath[0], '/');
}

// The display line, pasted into a real shell, gives back the very arguments.
class CommandLineTest : public testsupport::SandboxTest {};

TEST_F(CommandLineTest, TheShownLinePastesIntoAShell) {
  Command cmd;
  const std::vector<std::string> nasty = {
      "/in/holiday clip.mp4", "/in/it's \"quoted\".mp4", "/in/$HOME `id` $(id).mp4",
      "/in/a;b|c&d>e<f.mp4", "/in/*?[ab]~#!.mp4", "/in/back\\slash\ttab\nline.mp4", "",
      "[0:v]crop=2:2:0:0,scale='trunc(min(4,4*dar)/2)*2'", "0:a:0?", "-plain_word=1,2:3@4%5"};
  for (const std::string& n : nasty) cmd.AddPath(n);
  ASSERT_EQ(cmd.args().size(), nasty.size() + 1);

  platform::ProcessOptions options;
  options.stdoutFile = path("words");
  // printf repeats its format for each word: one NUL after each.
  ASSERT_EQ(platform::RunAndWait({"/bin/sh", "-c", "printf '%s\\0' " + cmd.Display()}, options),
            0)
      << cmd.Display();
  const std::string out = testsupport::ReadText(path("words"));
  std::vector<std::string> words;
  for (size_t start = 0, end; (end = out.find('\0', start)) != std::string::npos; start = end + 1)
    words.push_back(out.substr(start, end - start));
  EXPECT_EQ(words, cmd.args()) << cmd.Display();
  // Plain words stay readable.
  EXPECT_EQ(cmd.Display().compare(0, 7, "ffmpeg "), 0);
  EXPECT_NE(cmd.Display().find(" -plain_word=1,2:3@4%5"), std::string::npos) << cmd.Display();
}

TEST(VideoCommand, SourceTracksPictureAndSubtitles) {
  using media::SubtitleTrack;
  const std::vector<SubtitleTrack> subs = {
      {"subrip", true}, {"hdmv_pgs_subtitle", false}, {"mov_text", true}};
  struct Case {
    const char* name;
    ConvertKind kind;
    std::function<void(VideoItem&)> change;
    std::vector<std::string> has, lacks;
  } cases[] = {
      {"the default sound track, for pictures and for sound", ConvertKind::Video,
       [](VideoItem& i) { i.audioTrack = 2; },
       {" -map 0:v? -map 0:a:2? "}, {"0:a:0", "0:a?"}},
      {"sound files take it too", ConvertKind::Audio,
       [](VideoItem& i) { i.audioTrack = 1; SetFormat(i, "mp3"); },
       {" -map 0:a:1 -map_metadata 0 -c:a libmp3lame "}, {"0:a:0"}},
      {"flv takes the default track, not the first", ConvertKind::Video,
       [](VideoItem& i) { i.audioTrack = 1; SetFormat(i, "flv"); },
       {" -map 0:a:1? "}, {"0:a:0"}},
      {"merge parts too", ConvertKind::Merge,
       [](VideoItem& i) { i.audioTrack = 1; }, {" -map 0:v? -map 0:a:1? "}, {}},
      // A phone's camera and place keys: MP4's keyed metadata, without the
      // source container's marks; one -movflags where the codec sets its own.
      {"a phone's keys into mp4", ConvertKind::Video, [](VideoItem& i) { i.keyedTags = true; },
       {" -map_metadata 0 -movflags use_metadata_tags -metadata major_brand= -metadata"
        " minor_version= -metadata compatible_brands= "}, {}},
      {"into hevc's mp4, with its index at the front", ConvertKind::Video,
       [](VideoItem& i) { i.keyedTags = true; SetFormat(i, "hevc"); i.outputExtension = "mp4"; },
       {" -movflags +faststart+use_metadata_tags ", " -map_metadata 0 -metadata major_brand= "},
       {" -movflags use_metadata_tags"}},
      {"matroska keeps any key", ConvertKind::Video,
       [](VideoItem& i) { i.keyedTags = true; SetFormat(i, "mkv"); },
       {" -map_metadata 0 "}, {"-movflags", "major_brand"}},
      {"a merge part keeps the tags for the join, even in avi", ConvertKind::Merge,
       [](VideoItem& i) { SetFormat(i, "avi"); }, {" -map_metadata 0 "}, {}},
      {"a GIF has none", ConvertKind::Gif, [](VideoItem& i) { SetFormat(i, "gif"); }, {},
       {"-map_metadata"}},
      {"interlaced: fields made whole before the crop", ConvertKind::Video,
       [](VideoItem& i) { i.interlaced = true; },
       {" -filter_complex [0:v]yadif,crop=1280:720:0:0 "}, {}},
      {"interlaced cache source: only the fields", ConvertKind::Video,
       [](VideoItem& i) { i.interlaced = true; i.cacheKind = CacheKind::Kux; },
       {" -filter_complex [0:v]yadif "}, {"crop"}},
      {"interlaced merge part", ConvertKind::Merge,
       [](VideoItem& i) { i.interlaced = true; },
       {" -filter_complex [0:v]yadif,crop=1280:720:0:0,scale="}, {}},
      {"GIF at a smaller size: square pixels of the height chosen", ConvertKind::Gif,
       [](VideoItem& i) { SetFormat(i, "gif"); i.outputWidth = 640; i.outputHeight = 360; },
       {" -filter_complex [0:v]crop=1280:720:0:0,"
        "scale='trunc(360*dar)+mod(trunc(360*dar),2)':360,setsar=1,split[a][b];"},
       {" -s "}},
      {"GIF of wide pixels at the source's height", ConvertKind::Gif,
       [](VideoItem& i) {
         SetFormat(i, "gif"); i.pixelAspectNum = 64; i.pixelAspectDen = 45;
       },
       {",scale='trunc(ih*dar)+mod(trunc(ih*dar),2)':ih,setsar=1,split[a][b];"}, {" -s "}},
      {"a rotated GIF is cropped upright and sized too", ConvertKind::Gif,
       [](VideoItem& i) {
         SetFormat(i, "gif"); i.rotation = 90; i.outputWidth = 202; i.outputHeight = 360;
         i.cropWidth = 720; i.cropHeight = 1280;
       },
       {" -filter_complex [0:v]crop=720:1280:0:0,"
        "scale='trunc(360*dar)+mod(trunc(360*dar),2)':360,setsar=1,split["},
       {}},
      {"interlaced GIF", ConvertKind::Gif,
       [](VideoItem& i) { i.interlaced = true; SetFormat(i, "gif"); },
       {"[0:v]yadif,crop="}, {}},
      {"progressive: no deinterlacing", ConvertKind::Video, [](VideoItem&) {}, {}, {"yadif"}},
      {"a quarter turn: the crop, but not the fields", ConvertKind::Video,
       [](VideoItem& i) {
         i.interlaced = true; i.rotation = 270; i.cropWidth = 720; i.cropHeight = 1280;
       },
       {" -filter_complex [0:v]crop=720:1280:0:0 "}, {"yadif"}},
      {"upside down: the fields would swap", ConvertKind::Video,
       [](VideoItem& i) { i.interlaced = true; i.rotation = 180; }, {}, {"yadif"}},
      {"rotated, shown size kept: no -s", ConvertKind::Video,
       [](VideoItem& i) { i.rotation = 90; i.outputWidth = 720; i.outputHeight = 1280; }, {}, {" -s "}},
      {"rotated at a preset: the upright size", ConvertKind::Video,
       [](VideoItem& i) { i.rotation = 90; i.outputWidth = 480; i.outputHeight = 640; },
       {" -s 480x640 "}, {}},
      {"rotated merge part without a size: padded to its upright frame", ConvertKind::Merge,
       [](VideoItem& i) { i.rotation = 90; i.outputWidth = i.outputHeight = 0; },
       {",pad=720:1280:"}, {}},
      {"mkv keeps text subtitles as they are, converts what it cannot store",
       ConvertKind::Video, [&](VideoItem& i) { i.subtitles = subs; SetFormat(i, "mkv"); },
       {" -map 0:s:0 -c:s:0 copy -map 0:s:2 -c:s:1 srt "}, {"0:s:1"}},
      {"mp4 keeps them as timed text", ConvertKind::Video,
       [&](VideoItem& i) { i.subtitles = subs; },
       {" -map 0:s:0 -c:s:0 mov_text -map 0:s:2 -c:s:1 mov_text "}, {"0:s:1"}},
      {"mov likewise", ConvertKind::Video,
       [&](VideoItem& i) { i.subtitles = subs; SetFormat(i, "mov"); },
       {" -c:s:1 mov_text "}, {}},
      {"avi takes none", ConvertKind::Video,
       [&](VideoItem& i) { i.subtitles = subs; SetFormat(i, "avi"); }, {}, {"0:s"}},
      {"nor do merge parts", ConvertKind::Merge,
       [&](VideoItem& i) { i.subtitles = subs; }, {}, {"0:s"}},
  };
  for (const Case& c : cases) {
    auto item = Item(c.kind, "mp4");
    c.change(*item);
    ExpectFragments(c.name, Tail(BuildCommand(*item, Inputs())), c.has, c.lacks);
  }
}

TEST(Command, PictureOutputsMustHoldAPicture) {
  for (ConvertKind kind : {ConvertKind::Video, ConvertKind::Gif, ConvertKind::Merge})
    EXPECT_TRUE(BuildCommand(*Item(kind, "mp4"), Inputs()).NeedsPicture())
        << static_cast<int>(kind);
  EXPECT_FALSE(BuildCommand(*Item(ConvertKind::Audio, "mp3"), Inputs()).NeedsPicture());
}

// The new containers carry codecs of their own: their video and sound
// codecs, speed settings and sample rate come from their rows, in the places
// the older containers have theirs.
TEST(VideoCommand, NewContainersTakeTheirOwnCodecsAndSpeed) {
  const std::string fit =
      "scale='trunc(min(1280,720*dar)/2)*2':'trunc(min(1280/dar,720)/2)*2',setsar=1:1,"
      "pad=1280:720:trunc((1280-iw)/2):trunc((720-ih)/2):black";
  const std::vector<media::SubtitleTrack> subs = {{"subrip", true}, {"dvd_subtitle", false}};
  struct Case {
    const char* name;
    ConvertKind kind;
    std::function<void(VideoItem&, CommandInputs&)> change;
    std::string tail;
  } cases[] = {
      {"webm: vp9 at a quality, opus, the realtime deadline", ConvertKind::Video,
       [](VideoItem& i, CommandInputs&) { SetFormat(i, "webm"); },
       " -filter_complex [0:v]crop=1280:720:0:0 -c:v libvpx-vp9 -crf 32 -b:v 0 -ac 2"
       " -c:a libopus -deadline realtime -cpu-used 8 -row-mt 1 -pix_fmt yuv420p"
       " -max_muxing_queue_size 34500 -r 25.000000 -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.webm"},
      {"webm: a set bit rate comes after the quality's 0, and text subtitles as WebVTT",
       ConvertKind::Video,
       [&](VideoItem& i, CommandInputs& in) {
         SetFormat(i, "webm"); in.customBitRate = 1500000; i.subtitles = subs;
       },
       " -filter_complex [0:v]crop=1280:720:0:0 -c:v libvpx-vp9 -crf 32 -b:v 0 -ac 2"
       " -c:a libopus -deadline realtime -cpu-used 8 -row-mt 1 -pix_fmt yuv420p"
       " -max_muxing_queue_size 34500 -b:v 1500k -r 25.000000 -map 0:v? -map 0:a:0?"
       " -map_metadata 0 -map 0:s:0 -c:s:0 webvtt /out/clip.webm"},
      {"hevc: x265 tagged hvc1, the index at the front, aac", ConvertKind::Video,
       [&](VideoItem& i, CommandInputs&) { SetFormat(i, "hevc"); i.subtitles = subs; },
       " -filter_complex [0:v]crop=1280:720:0:0 -c:v libx265 -tag:v hvc1 -movflags +faststart"
       " -ac 2 -c:a aac -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500"
       " -r 25.000000 -map 0:v? -map 0:a:0? -map_metadata 0 -map 0:s:0 -c:s:0 mov_text /out/clip.webm"},
      {"av1: svt-av1 with a preset number, not superfast", ConvertKind::Video,
       [](VideoItem& i, CommandInputs&) { SetFormat(i, "av1"); },
       " -filter_complex [0:v]crop=1280:720:0:0 -c:v libsvtav1 -crf 35 -ac 2 -c:a libopus"
       " -preset 12 -pix_fmt yuv420p -max_muxing_queue_size 34500 -r 25.000000"
       " -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.webm"},
      {"a silent webm merge part: its silence and its track at 48 kHz", ConvertKind::Merge,
       [](VideoItem& i, CommandInputs&) {
         SetFormat(i, "webm"); i.sizePreset = SizePreset::Size720; i.audioBitRateText.clear();
       },
       " -f lavfi -i anullsrc=channel_layout=stereo:sample_rate=48000"
       " -filter_complex [0:v]crop=1280:720:0:0," + fit +
           " -r 30 -ac 2 -ar 48000 -b:a 128k -c:v libvpx-vp9 -b:v 2500k -c:a libopus"
           " -deadline realtime -cpu-used 8 -row-mt 1 -pix_fmt yuv420p"
           " -max_muxing_queue_size 34500 -map 0:v? -map 1:a -shortest -map_metadata 0 /out/clip.webm"},
      {"an hevc merge part", ConvertKind::Merge,
       [](VideoItem& i, CommandInputs&) { SetFormat(i, "hevc"); i.sizePreset = SizePreset::Tv; },
       " -filter_complex [0:v]crop=1280:720:0:0," + fit +
           " -r 30 -ac 2 -ar 44100 -b:a 128k -c:v libx265 -tag:v hvc1 -b:v 1200k -c:a aac"
           " -preset superfast -pix_fmt yuv420p -max_muxing_queue_size 34500"
           " -map 0:v? -map 0:a:0? -map_metadata 0 /out/clip.webm"},
  };
  for (const Case& c : cases) {
    auto item = Item(c.kind, "mp4");
    CommandInputs in = Inputs("/out/clip.webm");
    c.change(*item, in);
    EXPECT_EQ(Tail(BuildCommand(*item, in)), c.tail) << c.name;
  }
}

TEST(AudioCommand, LosslessFilesKeepTheRateOpusTakes48k) {
  struct Case {
    const char* name;
    std::function<void(VideoItem&)> change;
    const char* tail;
  } cases[] = {
      // No bit rate, no resampling, no x264 preset.
      {"flac", [](VideoItem& i) { SetFormat(i, "flac"); i.outputAudioKbps = 0; },
       " -map 0:a:0 -map_metadata 0 -c:a flac -max_muxing_queue_size 34500 /out/clip.x"},
      {"5.1 to 16-bit wav: two channels",
       [](VideoItem& i) { SetFormat(i, "wav"); i.outputAudioKbps = 0; i.audioChannels = 6; },
       " -map 0:a:0 -c:a pcm_s16le -ac 2 -max_muxing_queue_size 34500 /out/clip.x"},
      {"opus at 96k", [](VideoItem& i) { SetFormat(i, "opus"); i.outputAudioKbps = 96; },
       " -map 0:a:0 -map_metadata 0 -c:a libopus -ar 48000 -b:a 96k -max_muxing_queue_size 34500 /out/clip.x"},
  };
  for (const Case& c : cases) {
    auto item = Item(ConvertKind::Audio, "mp3");
    c.change(*item);
    EXPECT_EQ(Tail(BuildCommand(*item, Inputs("/out/clip.x"))), c.tail) << c.name;
  }
}

}  // namespace
