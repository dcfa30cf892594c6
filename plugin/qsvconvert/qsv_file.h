// Reading a QSV cache file: its header, its index of segments, and the
// segments themselves with their scrambled start undone. The layout is the
// one plugin/README.md describes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qsv {

constexpr char kMagic[] = "QIYI VIDEO";
constexpr size_t kMagicSize = 10;
constexpr int64_t kIndexStart = 0x5A;      // the first index entry
constexpr int64_t kIndexEntrySize = 28;    // 16 bytes key, 8 offset, 4 size
constexpr int64_t kScrambledBytes = 0x400; // at the start of every segment
constexpr uint32_t kMaxSegments = 65535;

enum class SegmentKind { Flv = 1, MpegTs = 2 };

struct Segment {
  int64_t offset = 0;
  int64_t size = 0;
};

struct Index {
  uint32_t version = 0;
  std::vector<Segment> segments;
};

// The byte that scrambles position i (0 <= i < kScrambledBytes) of a segment;
// scrambling and unscrambling are the same XOR.
inline uint8_t ScrambleKey(int64_t i) { return static_cast<uint8_t>((i * 0x9D + 0x5A) & 0xFF); }

// Reads the header and the index of the open file of `fileSize` bytes.
// False with a one-line reason when the file is no QSV file, its version is
// unknown or its index does not fit the file.
bool ReadIndex(FILE* file, int64_t fileSize, Index* index, std::string* why);

// Joins the segments into `out` as one stream: MPEG-TS segments byte for
// byte; of FLV segments the first whole and the later ones without their
// file header and metadata (their timestamps go on). False with a reason.
bool JoinSegments(FILE* file, const Index& index, FILE* out, std::string* why);

}  // namespace qsv
