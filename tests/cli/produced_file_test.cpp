// Choices checked on the file the front end produced: each case converts a
// real source with the real transcoder and reads the result back.
#include <functional>
#include <map>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

using testsupport::ReadText;

namespace {

// What a produced file holds.
struct Produced {
  bool ok = false;
  int videoStreams = 0, audioStreams = 0, subtitleStreams = 0;
  int width = 0, height = 0;
  AVRational pixelAspect{0, 1}, frameRate{0, 1};
  int64_t videoBitRate = 0, audioBitRate = 0;
  int channels = 0;  // of the first sound stream
  std::string subtitleCodec;
  double seconds = 0;  // the file's duration
  std::string videoCodec, audioCodec;  // of the first streams
  std::string format;                  // the container's demuxer names
};

Produced ReadProduced(const std::string& path) {
  Produced p;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return p;
  if (avformat_find_stream_info(ctx, nullptr) < 0) {
    avformat_close_input(&ctx);
    return p;
  }
  p.ok = true;
  if (ctx->duration != AV_NOPTS_VALUE) p.seconds = static_cast<double>(ctx->duration) / AV_TIME_BASE;
  p.format = ctx->iformat->name;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    AVStream* st = ctx->streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO && p.videoStreams++ == 0) {
      p.width = par->width;
      p.height = par->height;
      p.pixelAspect = av_guess_sample_aspect_ratio(ctx, st, nullptr);
      p.frameRate = st->avg_frame_rate;
      p.videoBitRate = par->bit_rate;
      p.videoCodec = avcodec_get_name(par->codec_id);
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && p.audioStreams++ == 0) {
      p.channels = par->ch_layout.nb_channels;
      p.audioCodec = avcodec_get_name(par->codec_id);
      p.audioBitRate = par->bit_rate;
    } else if (par->codec_type == AVMEDIA_TYPE_SUBTITLE && p.subtitleStreams++ == 0) {
      p.subtitleCodec = avcodec_get_name(par->codec_id);
    }
  }
  avformat_close_input(&ctx);
  return p;
}

bool SquarePixels(AVRational aspect) { return aspect.num == 0 || aspect.num == aspect.den; }

class ProducedFileTest : public testsupport::SandboxTest {
 protected:
  // Runs the transcoder to make a source; fails the test when it cannot.
  void MakeWith(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), {testsupport::FfmpegPath(), "-nostdin", "-y"});
    args.push_back(path(name));
    platform::ProcessOptions options;
    options.stderrFile = path("make.log");
    ASSERT_EQ(platform::RunAndWait(args, options), 0) << name << ": " << ReadText(path("make.log"));
  }

  // Converts with pelmar-convert; returns the produced file's path, "" on failure.
  std::string Convert(std::vector<std::string> args, const std::string& outDir) {
    args.insert(args.begin(), PELMAR_CONVERT_PATH);
    args.insert(args.end() - 1, {"--out", outDir});
    platform::ProcessOptions options;
    options.stdoutFile = path("stdout.txt");
    options.stderrFile = path("stderr.txt");
    const int code = platform::RunAndWait(args, options);
    const std::string out = ReadText(path("stdout.txt"));
    EXPECT_EQ(code, 0) << ReadText(path("stderr.txt"));
    if (code != 0 || out.size() < 2) return {};
    const size_t start = out.rfind('\n', out.size() - 2);
    return out.substr(start == std::string::npos ? 0 : start + 1,
                      out.size() - (start == std::string::npos ? 0 : start + 1) - 1);
  }

  // Interlacing the detector sees in the file's frames: fields minus whole frames.
  int Combing(const std::string& file) {
    platform::ProcessOptions options;
    options.stderrFile = path("idet.log");
    EXPECT_EQ(platform::RunAndWait({testsupport::FfmpegPath(), "-nostdin", "-hide_banner", "-i",
                                    file, "-vf", "idet", "-an", "-f", "null", "-"},
                                   options),
              0);
    const std::string log = ReadText(path("idet.log"));
    const size_t at = log.find("Multi frame detection:");
    if (at == std::string::npos) return 1 << 20;
    int tff = 0, bff = 0, progressive = 0;
    sscanf(log.c_str() + at, "Multi frame detection: TFF: %d BFF: %d Progressive: %d", &tff, &bff,
           &progressive);
    return tff + bff - progressive;
  }
};

TEST_F(ProducedFileTest, ChoicesShowInTheProducedFile) {
  if (testsupport::FfmpegPath().empty()) GTEST_SKIP() << "ffmpeg is not installed";
  const std::string lavfi = "lavfi";
  // Sources, as phones, cameras and muxers make them.
  ASSERT_EQ(testsupport::MakeMedia(path("land.mp4"), testsupport::Clip(2.0, 320, 240)), "");
  ASSERT_EQ(testsupport::MakeMedia(path("tall.mp4"), testsupport::Clip(1.0, 1280, 960)), "");
  testsupport::MediaSpec portrait = testsupport::Clip(2.0, 320, 180);
  portrait.rotation = 90;  // recorded upright: shown 180x320
  ASSERT_EQ(testsupport::MakeMedia(path("portrait.mp4"), portrait), "");
  testsupport::MediaSpec surround = testsupport::Clip(2.0, 160, 120);
  surround.audioChannels = 6;
  ASSERT_EQ(testsupport::MakeMedia(path("surround.mkv"), surround), "");
  // Noisy enough that the encoder spends what it is given.
  MakeWith("noisy.mp4", {"-f", lavfi, "-i", "testsrc=size=320x240:rate=25:duration=3", "-vf",
                         "noise=alls=60:allf=t+u", "-c:v", "libx264", "-preset", "ultrafast",
                         "-crf", "18", "-pix_fmt", "yuv420p"});
  // The film's default track is mono and comes second, after a 5.1 dub.
  MakeWith("dubbed.mkv", {"-f", lavfi, "-i", "testsrc=size=160x120:rate=25:duration=2", "-f",
                          lavfi, "-i", "sine=duration=2", "-map", "0:v", "-map", "1:a", "-map",
                          "1:a", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                          "yuv420p", "-c:a", "aac", "-ac:a:0", "6", "-ac:a:1", "1",
                          "-disposition:a:0", "0", "-disposition:a:1", "default"});
  // 16:9 PAL as a DVD or broadcast has it: 720x576, 64:45 pixels, stored as fields.
  MakeWith("pal wide.mpg", {"-f", lavfi, "-i", "testsrc=size=720x576:rate=50:duration=2", "-f",
                            lavfi, "-i", "sine=duration=2", "-vf", "interlace,setsar=64/45",
                            "-c:v", "mpeg2video", "-flags", "+ildct+ilme", "-b:v", "6M", "-c:a",
                            "mp2"});
  testsupport::WriteText(path("words.srt"),
                         "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n"
                         "2\n00:00:01,000 --> 00:00:02,000\nWorld\n\n");
  MakeWith("subtitled.mkv", {"-f", lavfi, "-i", "testsrc=size=160x120:rate=25:duration=2", "-f",
                             lavfi, "-i", "sine=duration=2", "-i", path("words.srt"), "-map",
                             "0:v", "-map", "1:a", "-map", "2:s", "-c:v", "libx264", "-preset",
                             "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-c:s", "srt"});

  struct Case {
    const char* name;
    std::vector<std::string> args;  // the source last
    std::function<void(const Produced&)> check;
  } cases[] = {
      {"720 preset", {"--preset", "720", path("land.mp4")},
       [](const Produced& p) {
         EXPECT_EQ(p.width, 1280);
         EXPECT_EQ(p.height, 720);
       }},
      {"a portrait clip stays upright at its size", {"--format", "mkv", path("portrait.mp4")},
       [](const Produced& p) {
         EXPECT_EQ(p.width, 180);
         EXPECT_EQ(p.height, 320);
         EXPECT_TRUE(SquarePixels(p.pixelAspect));
       }},
      // Not 1280x720 with pixels of 81:256.
      {"a portrait clip at 720: upright, square pixels", {"--preset", "720", path("portrait.mp4")},
       [](const Produced& p) {
         EXPECT_EQ(p.width, 720);
         EXPECT_EQ(p.height, 1280);
         EXPECT_TRUE(SquarePixels(p.pixelAspect))
             << p.pixelAspect.num << ":" << p.pixelAspect.den;
       }},
      {"a portrait GIF", {"--list", "gif", path("portrait.mp4")},
       [](const Produced& p) {
         EXPECT_EQ(p.width, 180);
         EXPECT_EQ(p.height, 320);
       }},
      {"video bit rate override", {"--video-bitrate", "300", path("noisy.mp4")},
       [](const Produced& p) {
         EXPECT_GT(p.videoBitRate, 150000);
         EXPECT_LT(p.videoBitRate, 600000);  // the source's own rate is near 10 Mbit/s
       }},
      {"frame rate override", {"--frame-rate", "10", "--format", "mkv", path("land.mp4")},
       [](const Produced& p) { EXPECT_EQ(av_cmp_q(p.frameRate, AVRational{10, 1}), 0); }},
      {"audio 96k preset", {"--list", "audio", "--preset", "96", path("land.mp4")},
       [](const Produced& p) {
         EXPECT_EQ(p.videoStreams, 0);
         EXPECT_EQ(p.audioBitRate, 96000);
       }},
      {"audio 256k preset to m4a",
       {"--list", "audio", "--format", "m4a", "--preset", "256", path("land.mp4")},
       [](const Produced& p) {
         EXPECT_EQ(p.videoStreams, 0);
         EXPECT_GT(p.audioBitRate, 160000);  // aac spends less on a sine, but well above 128k
       }},
      {"5.1 to mp3", {"--list", "audio", path("surround.mkv")},
       [](const Produced& p) { EXPECT_EQ(p.channels, 2); }},
      {"mp3 takes the default track, not the 5.1 dub", {"--list", "audio", path("dubbed.mkv")},
       [](const Produced& p) {
         EXPECT_EQ(p.audioStreams, 1);
         EXPECT_EQ(p.channels, 1);
       }},
      {"mp4 takes the default track", {path("dubbed.mkv")},
       [](const Produced& p) {
         EXPECT_EQ(p.audioStreams, 1);
         EXPECT_EQ(p.channels, 1);
       }},
      {"flv holds one track: the default one", {"--format", "flv", path("dubbed.mkv")},
       [](const Produced& p) {
         EXPECT_EQ(p.videoStreams, 1);
         EXPECT_EQ(p.audioStreams, 1);
         EXPECT_EQ(p.channels, 1);
       }},
      {"GIF of wide PAL in square pixels", {"--list", "gif", path("pal wide.mpg")},
       [](const Produced& p) {
         EXPECT_EQ(p.width, 1024);
         EXPECT_EQ(p.height, 576);
       }},
      // The GIF's size is what the crop keeps (no larger than 720 lines): the
      // cropped square stays square and is not blown up to the source's height.
      {"a square crop as GIF", {"--list", "gif", "--crop", "0,0,400,400", path("tall.mp4")},
       [](const Produced& p) {
         EXPECT_EQ(p.width, 400);
         EXPECT_EQ(p.height, 400);
       }},
      {"wide PAL to mp4 keeps its pixel shape", {path("pal wide.mpg")},
       [](const Produced& p) {
         EXPECT_EQ(p.width, 720);
         EXPECT_EQ(p.height, 576);
         EXPECT_EQ(av_cmp_q(p.pixelAspect, AVRational{64, 45}), 0);
       }},
      {"subtitles kept in mkv", {"--format", "mkv", path("subtitled.mkv")},
       [](const Produced& p) {
         EXPECT_EQ(p.subtitleStreams, 1);
         EXPECT_EQ(p.subtitleCodec, "subrip");
       }},
      {"subtitles kept in mp4 as timed text", {path("subtitled.mkv")},
       [](const Produced& p) {
         EXPECT_EQ(p.subtitleStreams, 1);
         EXPECT_EQ(p.subtitleCodec, "mov_text");
       }},
      {"avi takes no subtitles", {"--format", "avi", path("subtitled.mkv")},
       [](const Produced& p) { EXPECT_EQ(p.subtitleStreams, 0); }},
      {"webm: vp9 and opus, subtitles as WebVTT", {"--format", "webm", path("subtitled.mkv")},
       [](const Produced& p) {
         EXPECT_NE(p.format.find("webm"), std::string::npos) << p.format;
         EXPECT_EQ(p.videoCodec, "vp9");
         EXPECT_EQ(p.audioCodec, "opus");
         EXPECT_EQ(p.subtitleCodec, "webvtt");
       }},
      {"flac of 5.1: lossless stereo, no picture", {"--list", "audio", "--format", "flac",
                                                   path("surround.mkv")},
       [](const Produced& p) {
         EXPECT_EQ(p.format, "flac");
         EXPECT_EQ(p.videoStreams, 0);
         EXPECT_EQ(p.audioCodec, "flac");
         EXPECT_EQ(p.channels, 2);
       }},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Convert(c.args, path(platform::Format("out%d", n++)));
    if (file.empty()) continue;
    const Produced p = ReadProduced(file);
    ASSERT_TRUE(p.ok) << file;
    c.check(p);
  }
}

// A phone's clip is cropped in the picture as shown: the stored picture's red
// top-left quarter lies, upright, where its turn puts it, and a rectangle
// there keeps nothing but red. A rectangle taken from the stored frame would
// keep blue.
TEST_F(ProducedFileTest, ATurnedClipIsCroppedInThePictureAsShown) {
  if (testsupport::FfmpegPath().empty()) GTEST_SKIP() << "ffmpeg is not installed";
  for (int rotation : {90, 180, 270}) {
    testsupport::MediaSpec spec = testsupport::Clip(1.0, 320, 240);
    spec.rotation = rotation;
    spec.color = "blue";
    spec.corner = "red";
    ASSERT_EQ(testsupport::MakeMedia(path(platform::Format("turned%d.mp4", rotation)), spec), "");
  }
  struct Case {
    const char* name;
    std::vector<std::string> args;  // the source last
    int width, height;
  } cases[] = {
      // Shown 240x320, the red quarter at the top right.
      {"a quarter turn", {"--crop", "130,10,100,140", path("turned90.mp4")}, 100, 140},
      // Shown 240x320, the red quarter at the bottom left.
      {"three quarters, to mkv",
       {"--format", "mkv", "--trim", "0-1", "--crop", "10,170,100,140", path("turned270.mp4")},
       100, 140},
      // Shown 320x240, the red quarter at the bottom right.
      {"upside down", {"--crop", "170,130,140,100", path("turned180.mp4")}, 140, 100},
      {"a GIF", {"--list", "gif", "--crop", "10,170,100,140", path("turned270.mp4")}, 100, 140},
      // Both parts cropped, each fitted into the first part's upright frame.
      {"merge parts",
       {"--list", "merge", "--preset", "origin", "--crop", "130,10,100,140", path("turned90.mp4"),
        path("turned90.mp4")},
       240, 320},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Convert(c.args, path(platform::Format("cropped%d", n++)));
    ASSERT_FALSE(file.empty());
    const Produced p = ReadProduced(file);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    const std::vector<uint32_t> quarters = testsupport::Quarters(file);
    ASSERT_EQ(quarters.size(), 4u);
    for (uint32_t q : quarters)
      EXPECT_TRUE(q >> 16 > 200 && (q & 0xff) < 60) << std::hex << q;
  }
}

// The container's tags, keys in lower case (Matroska writes them in capitals).
std::map<std::string, std::string> TagsOf(const std::string& file) {
  std::map<std::string, std::string> tags;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, file.c_str(), nullptr, nullptr) < 0) return {{"unreadable", ""}};
  for (const AVDictionaryEntry* t = nullptr;
       (t = av_dict_get(ctx->metadata, "", t, AV_DICT_IGNORE_SUFFIX));) {
    std::string key = t->key;
    for (char& c : key) c = static_cast<char>(tolower(c));
    tags[key] = t->value;
  }
  avformat_close_input(&ctx);
  return tags;
}

TEST_F(ProducedFileTest, ARecordingKeepsItsDateItsPlaceAndItsCamera) {
  if (testsupport::FfmpegPath().empty()) GTEST_SKIP() << "ffmpeg is not installed";
  // As a phone writes it: keyed metadata in a QuickTime file.
  const std::vector<std::string> picture = {"-f", "lavfi", "-i",
                                            "testsrc=size=320x240:rate=25:duration=2", "-f",
                                            "lavfi", "-i", "sine=duration=2", "-pix_fmt", "yuv420p"};
  std::vector<std::string> phone = picture;
  phone.insert(phone.end(), {"-metadata", "creation_time=2024-07-14T10:20:30Z", "-metadata",
                             "location=+48.8584+002.2945/", "-metadata",
                             "com.apple.quicktime.make=Apple", "-metadata",
                             "com.apple.quicktime.model=iPhone 15", "-movflags",
                             "use_metadata_tags"});
  MakeWith("phone.mov", phone);
  MakeWith("plain.mp4", picture);

  // Every output that keeps tags, and the join of parts converted or taken as they are.
  const std::vector<std::vector<std::string>> cases = {
      {"--format", "mp4"},
      {"--format", "mov"},
      {"--format", "mkv"},
      {"--format", "hevc", "--preset", "phone"},
      {"--list", "audio", "--format", "m4a"},
      {"--list", "audio", "--format", "mp3"},
      {"--list", "merge", "--format", "mp4", "--preset", "phone", path("phone.mov")},
      {"--list", "merge", "--format", "mkv", "--preset", "parts", path("phone.mov")},
  };
  int n = 0;
  for (std::vector<std::string> args : cases) {
    std::string what;
    for (const std::string& a : args) what += a + " ";
    args.push_back(path("phone.mov"));
    const std::string file = Convert(args, path(platform::Format("tags%d", n++)));
    ASSERT_FALSE(file.empty()) << what;
    std::map<std::string, std::string> tags = TagsOf(file);
    SCOPED_TRACE(what + ": " + file);
    EXPECT_EQ(tags["creation_time"].substr(0, 19), "2024-07-14T10:20:30");
    EXPECT_NE(tags["location"].find("+48.8584+002.2945"), std::string::npos);
    EXPECT_EQ(tags["com.apple.quicktime.make"], "Apple");
    EXPECT_EQ(tags["com.apple.quicktime.model"], "iPhone 15");
    // The phone's QuickTime marks stay behind in an MP4.
    if (platform::ExtensionOf(file) == "mp4") {
      EXPECT_NE(tags["major_brand"], "qt  ");
    }
  }
  // Nothing is made up for a file that tells no date.
  const std::string plain = Convert({path("plain.mp4")}, path("plain"));
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(TagsOf(plain).count("creation_time"), 0u);
}

TEST_F(ProducedFileTest, FieldsAreMadeWholeForAProgressiveOutput) {
  if (testsupport::FfmpegPath().empty()) GTEST_SKIP() << "ffmpeg is not installed";
  // Two moments in every frame, one per field: the combing a camera leaves.
  MakeWith("fields.mpg", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=50:duration=2", "-vf",
                          "interlace", "-c:v", "mpeg2video", "-flags", "+ildct+ilme", "-b:v",
                          "4M"});
  ASSERT_GT(Combing(path("fields.mpg")), 0);
  const std::string file = Convert({"--format", "mkv", path("fields.mpg")}, path("out"));
  ASSERT_FALSE(file.empty());
  EXPECT_LT(Combing(file), 0) << ReadText(path("idet.log"));
}

TEST_F(ProducedFileTest, FilesOfOtherMakersConvert) {
  if (testsupport::FfmpegPath().empty()) GTEST_SKIP() << "ffmpeg is not installed";
  for (const char* tool : {"x264", "lame", "mkvmerge", "gst-launch-1.0"})
    if (platform::FindProgram(tool).empty()) GTEST_SKIP() << tool << " is not installed";
  auto run = [&](const std::string& what, std::vector<std::string> args) {
    platform::ProcessOptions options;
    options.stdoutFile = path("tool.out");
    options.stderrFile = path("tool.log");
    options.workDir = sandbox().root();
    ASSERT_EQ(platform::RunAndWait(args, options), 0) << what << ": " << ReadText(path("tool.log"));
  };
  // Raw frames and samples from ffmpeg; everything encoded and muxed by the others.
  MakeWith("frames.y4m", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=2",
                          "-pix_fmt", "yuv420p"});
  MakeWith("tone.wav", {"-f", "lavfi", "-i", "sine=duration=2"});
  run("x264", {"x264", "--quiet", "-o", path("x264.mkv"), path("frames.y4m")});
  run("x264", {"x264", "--quiet", "-o", path("x264.264"), path("frames.y4m")});
  run("lame", {"lame", "--quiet", path("tone.wav"), path("lame.mp3")});
  run("mkvmerge", {"mkvmerge", "-q", "-o", path("mkvmerge.mkv"), "--default-duration", "0:25fps",
                   path("x264.264"), path("lame.mp3")});
  const std::string frames =
      "videotestsrc num-buffers=50 ! video/x-raw,width=320,height=240,framerate=25/1 ! ";
  auto gst = [&](const std::string& name, const std::string& pipeline) {
    std::vector<std::string> args = {"gst-launch-1.0", "-q"};
    for (const std::string& word : platform::SplitLines(pipeline + " ! filesink", " "))
      args.push_back(word);
    args.push_back("location=" + path(name));
    run(name, args);
  };
  gst("gst.ogv", frames + "theoraenc ! queue ! mux. audiotestsrc num-buffers=100 ! audioconvert"
                 " ! vorbisenc ! queue ! mux. oggmux name=mux");
  gst("gst.mov", frames + "jpegenc ! qtmux");
  gst("gst.webm", frames + "vp8enc ! webmmux");
  // GStreamer's ASF muxer stamps the picture 1000 hours after the sound.
  gst("gst.wmv", "videotestsrc num-buffers=100 ! video/x-raw,width=320,height=240,framerate=25/1"
                 " ! videoconvert ! avenc_wmv2 ! mux. audiotestsrc num-buffers=172 ! audioconvert"
                 " ! avenc_wmav2 ! mux. asfmux name=mux");

  struct Case {
    const char* source;
    const char* list;
    const char* format;
    bool picture;
    bool sound;
    double seconds;
  } cases[] = {
      {"x264.mkv", "video", "mp4", true, false, 2},
      {"mkvmerge.mkv", "video", "mkv", true, true, 2},
      {"mkvmerge.mkv", "audio", "m4a", false, true, 2},
      {"lame.mp3", "audio", "mp3", false, true, 2},
      {"gst.ogv", "video", "avi", true, true, 2},
      {"gst.ogv", "gif", "gif", true, false, 2},
      {"gst.mov", "video", "mov", true, false, 2},
      {"gst.webm", "video", "flv", true, false, 2},
      {"gst.wmv", "video", "mp4", true, true, 4},
      {"gst.wmv", "gif", "gif", true, false, 4},
      {"gst.wmv", "audio", "mp3", false, true, 4},
  };
  for (const Case& c : cases) {
    const std::string out = path(std::string("out-") + c.list + "-" + c.format);
    const std::string produced =
        Convert({"--list", c.list, "--format", c.format, path(c.source)}, out);
    ASSERT_FALSE(produced.empty()) << c.source << " to " << c.format;
    const Produced p = ReadProduced(produced);
    ASSERT_TRUE(p.ok) << produced;
    EXPECT_EQ(p.videoStreams, c.picture ? 1 : 0) << c.source << " to " << c.format;
    EXPECT_EQ(p.audioStreams > 0, c.sound) << c.source << " to " << c.format;
    EXPECT_NEAR(p.seconds, c.seconds, 0.5) << c.source << " to " << c.format;
    if (c.picture) {
      EXPECT_EQ(p.width * 240, p.height * 320) << c.source << " to " << c.format;
    }
  }
}

}  // namespace
