// Sources that pose as media: playlists and lists named .mp4 that name other
// local files, text and noise. Each case says which files a reader that
// followed it would open, and a watch tells afterwards whether anything did.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace testsupport {

struct HostileSource {
  std::string name;                // the file handed over as a source
  std::vector<std::string> named;  // files it names, all real media beside it
  bool playlist;                   // refused as a playlist, not as unreadable
};

// Writes the cases into folder (with "/" at the end) and the real files they
// name; returns the cases.
inline std::vector<HostileSource> MakeHostileSources(const std::string& folder) {
  // A real clip a follower could read and convert: the fault shows as a
  // "video" made of it.
  EXPECT_EQ(MakeMedia(folder + "segment.ts", Clip(1.0, 160, 120)), "");
  WriteText(folder + "subs.sub", ReadText(folder + "segment.ts"));
  WriteText(folder + "holiday.mp4",
            "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n#EXTINF:1.0,\nsegment.ts\n"
            "#EXT-X-ENDLIST\n");
  WriteText(folder + "list.mp4", "ffconcat version 1.0\nfile segment.ts\nfile segment.ts\n");
  WriteText(folder + "manifest.mp4",
            "<?xml version=\"1.0\"?>\n"
            "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
            "mediaPresentationDuration=\"PT1S\" minBufferTime=\"PT1S\" "
            "profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\">\n"
            "<Period><AdaptationSet mimeType=\"video/mp2t\"><Representation id=\"1\" "
            "bandwidth=\"100000\"><BaseURL>segment.ts</BaseURL></Representation>"
            "</AdaptationSet></Period></MPD>\n");
  // The VobSub reader opens the .sub beside its index.
  WriteText(folder + "subs.mp4",
            "# VobSub index file, v7 (Do not modify this line!)\nsize: 720x576\n"
            "id: en, index: 0\ntimestamp: 00:00:00:000, filepos: 000000000\n");
  WriteText(folder + "notes.mp4", "just some text\nnothing to see\n");
  std::string noise;
  unsigned state = 12345;
  for (int i = 0; i < 65536; ++i) {
    state = state * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(state >> 16));
  }
  WriteText(folder + "noise.mp4", noise);
  return {
      {"holiday.mp4", {"segment.ts"}, true},  {"list.mp4", {"segment.ts"}, true},
      {"manifest.mp4", {"segment.ts"}, true}, {"subs.mp4", {"subs.sub"}, true},
      {"notes.mp4", {}, false},               {"noise.mp4", {}, false},
  };
}

// Watches files for being opened, by anyone (this process or a child).
// Open events are queued when open() returns, so a look after the reader has
// finished sees every open it made.
class OpenWatch {
 public:
  explicit OpenWatch(const std::vector<std::string>& files) : fd_(inotify_init1(IN_NONBLOCK)) {
    EXPECT_GE(fd_, 0);
    for (const std::string& file : files)
      EXPECT_GE(inotify_add_watch(fd_, file.c_str(), IN_OPEN), 0) << file;
  }
  ~OpenWatch() {
    if (fd_ >= 0) close(fd_);
  }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  // The number of opens since the last call.
  int Opens() {
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got <= 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->mask & IN_OPEN) ++opens;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return opens;
  }

 private:
  int fd_;
};

}  // namespace testsupport
