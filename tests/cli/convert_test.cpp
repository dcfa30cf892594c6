// The pelmar-convert program run as a user runs it.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "media/probe.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/plugin/cache_files.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

using testsupport::FolderEntries;
using testsupport::ReadText;

namespace {

struct Result {
  int code;
  std::string out, err;
};

class ConvertProgramTest : public testsupport::SandboxTest {
 protected:
  // `withProgram`: the arguments are the front end's; else a whole command.
  Result Run(std::vector<std::string> args, bool withProgram = true) {
    if (withProgram) args.insert(args.begin(), PELMAR_CONVERT_PATH);
    platform::ProcessOptions options;
    options.stdoutFile = path("stdout.txt");
    options.stderrFile = path("stderr.txt");
    Result r;
    r.code = platform::RunAndWait(args, options);
    r.out = ReadText(path("stdout.txt"));
    r.err = ReadText(path("stderr.txt"));
    return r;
  }
  std::string Clip(const std::string& name, double seconds, int w, int h) {
    std::string file = path(name);
    EXPECT_EQ(testsupport::MakeMedia(file, testsupport::Clip(seconds, w, h)), "");
    return file;
  }
  // Files left in the folders the program shares with the window.
  std::string Leftovers() {
    std::string data = sandbox().dataHome() + "/PelmarVideoConverter";
    std::string left;
    for (const char* dir : {"/log", "/temp", "/video_cover"})
      if (platform::RemoveFolder(data + dir) == false && platform::IsDirectory(data + dir))
        left += std::string(dir) + " ";
    std::string tmp = sandbox().tmp() + "/PelmarVideoConverter-" + std::to_string(getuid());
    if (!platform::RemoveFolder(tmp) && platform::IsDirectory(tmp)) left += "tmp";
    return left;
  }
};

TEST_F(ConvertProgramTest, ConvertsPrintsTheResultAndLeavesNothingBehind) {
  std::string source = Clip("holiday clip.mov", 2.0, 320, 240);
  Result r = Run({"--out", path("out"), "--crop", "0,0,161,120", source});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string expected = path("out") + "/holiday clip.mp4";
  EXPECT_EQ(r.out.substr(r.out.size() - expected.size() - 1), expected + "\n") << r.out;
  media::MediaInfo info;
  ASSERT_TRUE(media::ProbeMedia(expected, info).usable);
  EXPECT_EQ(info.width, 162);
  EXPECT_EQ(info.height, 120);
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, ProbePrintsEveryField) {
  std::string source = Clip("p.mp4", 4.0, 320, 240);
  Result r = Run({"--probe", source});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* line :
       {"path=" , "title=p\n", "extension=mp4\n", "durationText=00:00:04\n",
        "resolutionText=320x240\n", "cacheKind=0\n", "durationSeconds=4\n", "height=240\n",
        "width=320\n", "audioChannels=2\n", "coverSeekSeconds=0\n", "hasDataStream=0\n",
        "rotation=0\n", "frameRate=25\n", "fileSizeText=", "coverPath=", "audioBitRateText=",
        "bitRate=", "fileSize=", "inputFormat=mov\n", "audioTrack=0\n", "pixelAspect=1:1\n",
        "interlaced=0\n", "subtitles=\n", "videoCodec=h264\n", "pixelFormat=yuv420p\n",
        "frameRateExact=25/1\n", "audioCodec=aac\n", "sampleRate=44100\n", "streamsApart=0\n",
        "keyedTags=0\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;

  testsupport::WriteText(path("junk.mp4"), "not a video");
  r = Run({"--probe", path("junk.mp4")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("junk.mp4"), std::string::npos);
}

TEST_F(ConvertProgramTest, PrintCommandShowsTheExactCommand) {
  // A name a shell would otherwise split, expand and run.
  std::string source = Clip("clip $(touch pwned) 'q' *.mp4", 1.0, 1280, 720);
  Result r = Run({"--print-command", "--format", "mkv", "--out", path("out"), source});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(r.out.back(), '\n');
  // Pasted into a shell, the line gives back the transcoder's arguments.
  platform::ProcessOptions options;
  options.stdoutFile = path("words");
  options.workDir = sandbox().root();
  ASSERT_EQ(platform::RunAndWait({"/bin/sh", "-c", "printf '%s\\0' " + r.out}, options), 0);
  const std::string out = ReadText(path("words"));
  std::vector<std::string> words;
  for (size_t start = 0, end; (end = out.find('\0', start)) != std::string::npos; start = end + 1)
    words.push_back(out.substr(start, end - start));
  EXPECT_FALSE(platform::FileExists(path("pwned")));
  const std::vector<std::string> head = {"ffmpeg", "-hide_banner", "-progress"};
  ASSERT_GE(words.size(), head.size()) << r.out;
  EXPECT_TRUE(std::equal(head.begin(), head.end(), words.begin())) << r.out;
  const std::vector<std::string> tail = {
      "-i", source, "-filter_complex", "[0:v]crop=1280:720:0:0", "-ac", "2", "-c:a", "aac",
      "-preset", "superfast", "-pix_fmt", "yuv420p", "-max_muxing_queue_size", "34500", "-r",
      "25.000000", "-map", "0:v?", "-map", "0:a:0?", "-map_metadata", "0", path("out") + "/" +
      platform::RemoveExtension(platform::FileNameOf(source)) + ".mkv"};
  ASSERT_GE(words.size(), tail.size()) << r.out;
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), words.end() - tail.size())) << r.out;
  EXPECT_FALSE(platform::FileExists(words.back()));  // printed, not converted
}

TEST_F(ConvertProgramTest, FailuresAreExplainedInOneLine) {
  std::string source = Clip("c.mp4", 2.0, 160, 120);
  std::string big = Clip("big.mp4", 4.0, 320, 240);
  // A real transcoder failure: the output may not grow past 32 KiB, as on a
  // disk that fills up (writes fail instead of ending the process).
  const std::string limited = "trap '' XFSZ; ulimit -f 64; exec \"$0\" \"$@\"";
  struct Case {
    std::vector<std::string> args;
    bool limitOutput;
    int code;
    const char* says;
  } cases[] = {
      {{"--list", "nonsense", source}, false, 2, "--list"},
      // What depends on the file fails the file, not the command line.
      {{"--trim", "1-9", "--out", path("out"), source}, false, 1, ": the range 1-9 lies past the end"},
      {{"--crop", "100,100,100,100", "--out", path("out"), source}, false, 1, "lies outside"},
      {{"--out", path("out"), path("missing.mp4"), source}, false, 1, "missing.mp4"},
      {{"--out", path("full"), big}, true, 1, "failed: "},
      // A file the engine refuses says why, whatever the options ask of it.
      {{"--trim", "0-1", "--out", path("out"), path("empty.mp4")}, false, 1, "empty.mp4: cannot"},
      {{"--print-command", "--out", path("out"), path("list.mp4")}, false, 1, "not a media file"},
  };
  testsupport::WriteText(path("empty.mp4"), "");
  testsupport::WriteText(path("list.mp4"), "ffconcat version 1.0\nfile " + source + "\n");
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    if (c.limitOutput) {
      args.insert(args.begin(), {"sh", "-c", limited, PELMAR_CONVERT_PATH});
    } else {
      args.insert(args.begin(), PELMAR_CONVERT_PATH);
    }
    Result r = Run(args, false);
    EXPECT_EQ(r.code, c.code) << c.says << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    // One line, whole, saying more than the words looked for; a mistake in
    // the command line may be followed by the usage text.
    const size_t eol = r.err.find('\n');
    ASSERT_NE(eol, std::string::npos) << c.says << ": " << r.err;
    const std::string rest = r.err.substr(eol + 1);
    EXPECT_TRUE(rest.empty() || (c.code == 2 && rest.rfind("usage: ", 0) == 0))
        << c.says << ": more than one line:\n" << r.err;
    EXPECT_GT(eol, std::string(c.says).size() + 10) << r.err;
  }
  // The missing file did not keep the other from converting; the failed ones
  // left nothing, not even their private folders.
  EXPECT_EQ(FolderEntries(path("out")), std::vector<std::string>{"c.mp4"});
  EXPECT_EQ(FolderEntries(path("full")), std::vector<std::string>{});
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, MergeJoinsThePartsIntoOneFile) {
  std::string a = Clip("a.mp4", 2.0, 320, 240);
  std::string b = Clip("b.mkv", 3.0, 640, 360);
  Result r = Run({"--list", "merge", "--format", "mkv", "--preset", "origin", "--out",
                  path("out"), a, b});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string last = r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1);
  last.pop_back();
  media::MediaInfo info;
  ASSERT_TRUE(media::ProbeMedia(last, info).usable) << r.out;
  EXPECT_EQ(platform::ParentDir(last), path("out"));
  EXPECT_NEAR(info.durationSeconds, 5, 1);
  EXPECT_EQ(info.resolutionText, "320x240");  // every part takes the first part's size
  EXPECT_EQ(Leftovers(), "");

  // Parts of one kind join as they are; a part of another kind is converted
  // first, and the note says why.
  const std::string c = Clip("c.mp4", 2.0, 320, 240);
  struct Case {
    std::vector<std::string> files;
    bool converted;
  } cases[] = {{{a, c}, false}, {{a, b}, true}};
  for (const Case& k : cases) {
    std::vector<std::string> args = {"--list", "merge", "--preset", "parts", "--out", path("out")};
    args.insert(args.end(), k.files.begin(), k.files.end());
    r = Run(args);
    ASSERT_EQ(r.code, 0) << r.err;
    // A converted part shows its own progress: "a.mp4: 40%".
    EXPECT_EQ(r.out.find(platform::FileNameOf(a) + ": ") != std::string::npos, k.converted)
        << r.out;
    EXPECT_EQ(r.err.find("part 2 is 640x360 where part 1 is 320x240") != std::string::npos,
              k.converted) << r.err;
    // The size they get, named as the window names it.
    EXPECT_EQ(r.err.find("converted to 720p first") != std::string::npos, k.converted) << r.err;
  }
}

TEST_F(ConvertProgramTest, AMergeWithAPartThatFailsEndsWithoutAJoin) {
  std::string a = Clip("a.mp4", 1.0, 160, 120);
  std::string bad = path("bad.mp4");
  testsupport::WriteText(bad, std::string(2048, 'z'));
  std::string c = Clip("c.mp4", 1.0, 160, 120);
  Result r = Run({"--list", "merge", "--out", path("out"), a, bad, c});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("failed: " + bad + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the merge stopped because a part could not be converted"),
            std::string::npos) << r.err;
  EXPECT_TRUE(platform::RemoveFolder(path("out"))) << "something was joined: " << r.out;
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, InterruptStopsCleanly) {
  std::string source = Clip("long.mp4", 30.0, 640, 480);
  platform::ProcessOptions options;
  options.stdoutFile = path("stdout.txt");
  options.stderrFile = path("stderr.txt");
  platform::Process program;
  ASSERT_TRUE(program.start({PELMAR_CONVERT_PATH, "--format", "mkv", "--out", path("out"), source},
                            options));
  // Wait until the transcoder has written part of the output, which stays
  // out of sight in a folder of its own until it is finished.
  auto written = [&] {
    for (const std::string& dir : platform::ListFolder(path("out")))
      if (platform::FileSize(path("out/" + dir + "/out.mkv")) > 0) return true;
    return false;
  };
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!written() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(written());
  EXPECT_FALSE(platform::FileExists(path("out/long.mkv")));
  kill(program.pid(), SIGINT);
  EXPECT_EQ(program.wait(), 1);
  EXPECT_FALSE(platform::FileExists(path("out/long.mkv")));
  EXPECT_TRUE(platform::RemoveFolder(path("out"))) << "the unfinished output is left";
  EXPECT_NE(ReadText(path("stderr.txt")).find("stopped"), std::string::npos);
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, AFileThatDoesNotFitTheOptionsFailsAlone) {
  std::string good = path("good.flv");
  ASSERT_EQ(testsupport::MakeMedia(good, testsupport::Clip(3.0, 160, 120)), "");
  std::string shorter = Clip("short.mp4", 1.0, 160, 120);
  testsupport::MediaSpec upright = testsupport::Clip(1.0, 160, 120);
  upright.rotation = 90;
  std::string rotated = path("rotated.mp4");
  ASSERT_EQ(testsupport::MakeMedia(rotated, upright), "");
  std::string plain = Clip("plain.mp4", 1.0, 160, 120);
  const std::string flv = Clip("inner.flv", 1.0, 160, 120);
  const std::string kux = path("cached.kux");
  ASSERT_TRUE(cachefiles::WriteKux(kux, ReadText(flv)));
  struct Case {
    std::vector<std::string> args;
    std::string failed, says, made;
  } cases[] = {
      {{"--list", "gif", "--trim", "0-2", "--out", path("out1"), good, shorter}, shorter,
       "the range 0-2 lies past the end", path("out1/good.gif")},
      // A turned picture is cropped as shown: upright, 120x160.
      {{"--crop", "0,0,160,60", "--out", path("out2"), rotated, plain}, rotated,
       "the crop 0,0,160,60 lies outside the 120x160 picture", path("out2/plain.mp4")},
      // The crop would be silently lost on a cache file.
      {{"--crop", "0,0,80,60", "--out", path("out3"), kux, plain}, kux,
       "a cache file cannot be cropped", path("out3/plain.mp4")},
  };
  for (const Case& c : cases) {
    Result r = Run(c.args);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("failed: " + c.failed + ": " + c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("usage:"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(c.made), std::string::npos) << r.out;
    EXPECT_TRUE(platform::FileExists(c.made));
  }
  EXPECT_EQ(FolderEntries(path("out2")), std::vector<std::string>{"plain.mp4"});
  EXPECT_EQ(FolderEntries(path("out3")), std::vector<std::string>{"plain.mp4"});
  EXPECT_EQ(Leftovers(), "");
}

TEST_F(ConvertProgramTest, APictureOutputWithoutFramesFails) {
  // A recording whose picture stops after a second while the sound goes on:
  // the kept range holds sound only.
  const std::string source = path("stopped camera.mkv");
  platform::ProcessOptions options;
  options.stderrFile = path("make.log");
  ASSERT_EQ(platform::RunAndWait({testsupport::FfmpegPath(), "-nostdin", "-y", "-f", "lavfi",
                                  "-i", "testsrc=size=160x120:rate=25:duration=1", "-f", "lavfi",
                                  "-i", "sine=duration=5", "-c:v", "libx264", "-preset",
                                  "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", source},
                                 options),
            0)
      << ReadText(path("make.log"));
  struct Case {
    std::vector<std::string> choice;
    const char* ext;
  } cases[] = {{{"--format", "mp4"}, "mp4"}, {{"--format", "mkv"}, "mkv"},
               {{"--list", "gif"}, "gif"}};
  for (const Case& c : cases) {
    std::vector<std::string> args = c.choice;
    args.insert(args.end(), {"--trim", "2-4", "--out", path("out"), source});
    Result r = Run(args);
    EXPECT_EQ(r.code, 1) << c.ext << ": " << r.out << r.err;
    EXPECT_NE(r.err.find("failed: " + source + ": the output holds no picture"),
              std::string::npos) << c.ext << ": " << r.err;
    EXPECT_EQ(FolderEntries(path("out")), std::vector<std::string>{}) << c.ext;
  }
  // The same range as sound is a result.
  Result r = Run({"--list", "audio", "--trim", "2-4", "--out", path("out"), source});
  EXPECT_EQ(r.code, 0) << r.err;
  // The queue goes on after the failed file.
  std::string good = Clip("good.mp4", 5.0, 160, 120);
  r = Run({"--trim", "2-4", "--out", path("out"), source, good});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("failed: " + source + ": "), std::string::npos) << r.err;
  EXPECT_EQ(FolderEntries(path("out")),
            (std::vector<std::string>{"good.mp4", "stopped camera.mp3"})) << r.out << r.err;
  EXPECT_EQ(Leftovers(), "");
}

}  // namespace
