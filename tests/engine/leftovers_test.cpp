// Outputs that never replace what is there, and the clean-up of what ended
// runs left behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "engine/run_records.h"
#include "engine/temp_output.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The id of a process that has ended.
int EndedPid() {
  platform::Process p;
  EXPECT_TRUE(p.start({"true"}, {}));
  const int pid = p.pid();
  p.wait();
  return pid;
}

using LeftoversTest = EngineTest;

TEST_F(LeftoversTest, EveryWayOfMovingNeverReplacesAName) {
  // Each way the move has, from the best to the last resort; the name is
  // free, a file, a link to a file of ours, or a link to nowhere.
  WriteText(path("victim"), "precious");
  for (int way = 0; way < 3; ++way) {
    struct Case {
      const char* name;
      std::string planted;  // "", "file" or a link target
    } cases[] = {
        {"free", ""}, {"file", "file"}, {"link", path("victim")}, {"dangling", path("nowhere")}};
    for (const Case& c : cases) {
      const std::string from = path("from"), to = path("to");
      platform::DeleteFile(to);
      WriteText(from, "new");
      if (c.planted == "file") {
        WriteText(to, "old");
      } else if (!c.planted.empty()) {
        ASSERT_EQ(symlink(c.planted.c_str(), to.c_str()), 0);
      }
      const int dir = open(sandbox().root().c_str(), O_RDONLY | O_DIRECTORY);
      const int result = platform::MoveWithoutReplacing(dir, "from", dir, "to", way);
      close(dir);
      SCOPED_TRACE(std::string(c.name) + " by way " + std::to_string(way));
      if (c.planted.empty()) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ReadText(to), "new");
        EXPECT_FALSE(platform::FileExists(from));
      } else {
        EXPECT_EQ(result, EEXIST);
        EXPECT_EQ(ReadText(from), "new");
        if (c.planted == "file") {
          EXPECT_EQ(ReadText(to), "old");
        } else {
          EXPECT_TRUE(IsLink(to));
        }
      }
      EXPECT_EQ(ReadText(path("victim")), "precious");
      EXPECT_FALSE(platform::FileExists(path("nowhere")));
    }
  }
}

// Lets threads go on together once all of them have arrived. They spin
// rather than sleep, so that all leave in the same instant.
class StartLine {
 public:
  explicit StartLine(int threads) : threads_(threads) {}
  void Wait() {
    const int gate = gate_.load();
    if (arrived_.fetch_add(1) + 1 == threads_) {
      arrived_.store(0);
      gate_.fetch_add(1);
      return;
    }
    for (int spins = 0; gate_.load() == gate; ++spins)
      if (spins > 10000) std::this_thread::yield();  // a thread without a processor
  }

 private:
  const int threads_;
  std::atomic<int> arrived_{0}, gate_{0};
};

// Movers released together race for one name, round after round in each
// way: exactly one takes it, and every other keeps its own file whole. A move
// that looks for the name and then renames loses this race within a few rounds.
TEST_F(LeftoversTest, MoversReleasedTogetherNeverReplaceEachOther) {
  constexpr int kMovers = 3;
  constexpr int kRoundsPerWay = 400;
  const int dir = open(sandbox().root().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dir, 0);
  StartLine line(kMovers);
  int results[kMovers];
  std::string what;  // the first fault, told by the first mover
  auto mover = [&](int me) {
    const std::string mine = "from" + std::to_string(me);
    for (int round = 0; round < 3 * kRoundsPerWay && what.empty(); ++round) {
      WriteText(path(mine), mine);
      line.Wait();
      results[me] = platform::MoveWithoutReplacing(dir, mine, dir, "to", round / kRoundsPerWay);
      line.Wait();
      if (me == 0) {
        int winners = 0;
        for (int i = 0; i < kMovers; ++i) {
          const std::string name = "from" + std::to_string(i);
          if (results[i] == 0) {
            ++winners;
            if (ReadText(path("to")) != name) what = "the name holds another's file";
          } else if (results[i] != EEXIST) {
            what = "a mover failed with " + std::to_string(results[i]);
          } else if (ReadText(path(name)) != name) {
            what = "a mover that lost has lost its file";
          }
        }
        if (winners != 1) what = std::to_string(winners) + " movers took the name";
        if (!what.empty())
          what += " in round " + std::to_string(round % kRoundsPerWay) + " of way " +
                  std::to_string(round / kRoundsPerWay);
        platform::DeleteFile(path("to"));
      }
      line.Wait();  // the verdict is read by all before the next round
    }
  };
  std::vector<std::thread> movers;
  for (int i = 0; i < kMovers; ++i) movers.emplace_back(mover, i);
  for (std::thread& t : movers) t.join();
  close(dir);
  EXPECT_EQ(what, "");
}

TEST_F(LeftoversTest, AnOutputInTheMakingIsPrivateRecordedAndTakesTheFirstFreeName) {
  WriteText(out_ + "clip.mp4", "the user's");
  TempOutput temp;
  std::string error;
  ASSERT_TRUE(temp.Create(out_, "mp4", dirs_.running, &error)) << error;
  // The transcoder reaches the file through our handle of the private folder.
  EXPECT_EQ(temp.WritePath().rfind("/proc/", 0), 0u) << temp.WritePath();
  const std::string shown = temp.ShownPath();
  const std::string privateFolder = platform::ParentDir(shown);
  struct stat st;
  ASSERT_EQ(lstat(privateFolder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  WriteText(temp.WritePath(), "converted");
  EXPECT_EQ(ReadText(shown), "converted");
  // A record tells a later start what to remove should this run be killed.
  std::vector<std::string> records = FolderEntries(dirs_.running);
  std::string record;
  for (const std::string& name : records)
    if (name.rfind("out-", 0) == 0) record = ReadText(dirs_.running + name);
  EXPECT_EQ(record, privateFolder + "\n");
  // The clean-up of another start leaves a live run's output alone.
  EXPECT_EQ(RemoveLeftovers(dirs_), 0);
  EXPECT_TRUE(platform::IsDirectory(privateFolder));

  ASSERT_EQ(temp.MoveInto({"clip.mp4", "clip_0.mp4"}, &error), 1) << error;
  EXPECT_EQ(ReadText(out_ + "clip.mp4"), "the user's");
  EXPECT_EQ(ReadText(out_ + "clip_0.mp4"), "converted");
  EXPECT_EQ(FolderEntries(out_), (std::vector<std::string>{"clip.mp4", "clip_0.mp4"}));
  for (const std::string& name : FolderEntries(dirs_.running))
    EXPECT_EQ(name.rfind("out-", 0), std::string::npos) << name;

  // Every name taken: the file stays ours until discarded, then goes.
  TempOutput second;
  ASSERT_TRUE(second.Create(out_, "mp4", dirs_.running, &error)) << error;
  EXPECT_EQ(second.MoveInto({"clip.mp4", "clip_0.mp4"}, &error), -1);
  EXPECT_NE(error.find("taken"), std::string::npos) << error;
  second.Discard();
  EXPECT_EQ(FolderEntries(out_), (std::vector<std::string>{"clip.mp4", "clip_0.mp4"}));
}

TEST_F(LeftoversTest, TheCleanUpRemovesWhatEndedRunsLeftAndNothingElse) {
  ASSERT_TRUE(platform::CreateFolders(dirs_.running));
  const std::string running = dirs_.running;
  WriteText(path("victim"), "precious");
  const int ended = EndedPid();
  const std::string deadTag = "cli-" + std::to_string(ended);
  const std::string liveTag = "cli-" + std::to_string(getpid());

  // What a killed run leaves: its private output folder with a half-written
  // file, and its unlocked record.
  const std::string killed = out_ + kTempOutputPrefix + "0123456789abcdef";
  platform::CreateFolders(killed);
  WriteText(killed + "/out.mkv", "half");
  WriteText(running + "out-" + std::to_string(ended) + "-1-0", killed + "\n");
  // A record of an ended run that names something not of ours.
  WriteText(running + "out-" + std::to_string(ended) + "-2-0", path("victim") + "\n");
  const std::string imposter = out_ + "not-ours";
  platform::CreateFolders(imposter);
  WriteText(imposter + "/keep", "x");
  WriteText(running + "out-" + std::to_string(ended) + "-3-0", imposter + "\n");
  // A private folder named like ours that no record names: perhaps another
  // program's, perhaps a user's; it stays.
  const std::string unnamed = out_ + kTempOutputPrefix + "fedcba9876543210";
  platform::CreateFolders(unnamed);
  WriteText(unnamed + "/out.mp4", "x");
  // The folders of an ended front end, one named by its record (which also
  // names a folder outside the program's), one only by its name.
  const EngineDirs dead = dirs_.ForProcess(deadTag);
  for (const std::string& dir : {dead.scratch, dead.work, dead.log}) {
    platform::CreateFolders(dir);
    WriteText(dir + "file", "x");
  }
  WriteText(running + "dirs-" + std::to_string(ended) + "-4-0",
            deadTag + "\n" + dead.scratch + "\n" + dead.work + "\n" + path("home") + "\n");
  const EngineDirs legacy = dirs_.ForProcess("cli-" + std::to_string(EndedPid()));
  platform::CreateFolders(legacy.log);
  // A live front end's folders (this process), and folders the program
  // shares, which hold names like the others.
  const EngineDirs live = dirs_.ForProcess(liveTag);
  ASSERT_TRUE(live.Ensure());
  WriteText(live.scratch + "merge_1_2.mkv", "x");
  platform::CreateFolders(dirs_.scratch + "cli-x");
  // What a killed window leaves in the shared folders, and a file it never makes.
  WriteText(dirs_.scratch + "merge_3_4.mp4", "part");
  WriteText(dirs_.scratch + "1700000000000000.txt", "file 'x'\r\n");
  WriteText(dirs_.log + "3_4_7", "progress=end\n");
  WriteText(dirs_.log + "3_4_7.log", "x");
  WriteText(dirs_.log + "merge_1700000000000000", "x");
  WriteText(dirs_.scratch + "notes.txt", "the user's");
  ASSERT_EQ(symlink(path("victim").c_str(), (dirs_.scratch + "merge_5_6.mp4").c_str()), 0);

  EXPECT_GT(RemoveLeftovers(dirs_), 0);

  EXPECT_FALSE(platform::FileExists(killed));
  EXPECT_EQ(ReadText(path("victim")), "precious");
  EXPECT_EQ(ReadText(imposter + "/keep"), "x");
  EXPECT_EQ(ReadText(unnamed + "/out.mp4"), "x");
  EXPECT_EQ(FolderEntries(out_),
            (std::vector<std::string>{std::string(kTempOutputPrefix) + "fedcba9876543210", "not-ours"}));
  for (const std::string& dir : {dead.scratch, dead.work, dead.log, legacy.log})
    EXPECT_FALSE(platform::FileExists(dir)) << dir;
  EXPECT_TRUE(platform::IsDirectory(path("home")));
  EXPECT_EQ(ReadText(live.scratch + "merge_1_2.mkv"), "x");
  EXPECT_TRUE(platform::IsDirectory(dirs_.scratch + "cli-x"));
  EXPECT_EQ(ReadText(dirs_.scratch + "notes.txt"), "the user's");
  EXPECT_TRUE(IsLink(dirs_.scratch + "merge_5_6.mp4"));
  for (const char* gone : {"merge_3_4.mp4", "1700000000000000.txt"})
    EXPECT_FALSE(platform::FileExists(dirs_.scratch + gone)) << gone;
  EXPECT_EQ(FolderEntries(dirs_.log), std::vector<std::string>{liveTag});
  // Only the live front end's record and the window's lock stay.
  std::vector<std::string> records = FolderEntries(running);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].rfind("dirs-" + std::to_string(getpid()) + "-", 0), 0u) << records[0];
  EXPECT_EQ(records[1], "window.lock");

  // While a window runs, its shared folders are its own.
  ASSERT_TRUE(dirs_.Ensure());
  WriteText(dirs_.scratch + "merge_3_4.mp4", "part");
  RemoveLeftovers(dirs_);
  EXPECT_EQ(ReadText(dirs_.scratch + "merge_3_4.mp4"), "part");
  live.RemoveAll();
  EXPECT_EQ(FolderEntries(running), std::vector<std::string>{"window.lock"});
}

}  // namespace
