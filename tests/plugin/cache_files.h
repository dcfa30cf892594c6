// Cache files made by the tests from generated media, by the same layouts the
// converters read (plugin/README.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cachefiles {

// A QSV file's bytes: header, index and the segments in order, each with its
// start scrambled.
std::string QsvBytes(uint32_t version, const std::vector<std::string>& segments);

// Offsets of the header fields a test may damage.
constexpr size_t kQsvVersionAt = 0x0A;
constexpr size_t kQsvCountAt = 0x56;
constexpr size_t kQsvIndexAt = 0x5A;

// Writes a KUX-like file: "KDK", zero padding up to 0xE40000 (left sparse),
// then the FLV stream.
bool WriteKux(const std::string& path, const std::string& flv);

// Cuts a short clip (H.264 and AAC, key frames every second) made by the real
// ffmpeg into `count` segments of the given container ("flv" or "mpegts") in
// `dir`, with timestamps going on from segment to segment. Empty on failure.
std::vector<std::string> ClipSegments(const std::string& dir, const std::string& container,
                                      int count);

// The little-endian bytes of a number.
std::string LittleEndian(uint64_t value, int bytes);

}  // namespace cachefiles
