#include "plugin/qsvconvert/qsv_file.h"

#include <algorithm>
#include <cstring>

namespace qsv {
namespace {

uint64_t LittleEndian(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

uint32_t BigEndian(const uint8_t* bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
  return value;
}

bool ReadAt(FILE* file, int64_t offset, void* buffer, size_t size) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
         fread(buffer, 1, size, file) == size;
}

// One segment read front to back, its scrambled start undone.
class SegmentReader {
 public:
  SegmentReader(FILE* file, const Segment& segment) : file_(file), segment_(segment) {}

  int64_t Left() const { return segment_.size - position_; }

  // Reads exactly `size` bytes; false at the segment's end or on a read error.
  bool Read(uint8_t* buffer, int64_t size) {
    if (size > Left()) return false;
    if (!ReadAt(file_, segment_.offset + position_, buffer, static_cast<size_t>(size)))
      return false;
    for (int64_t i = 0; i < size && position_ + i < kScrambledBytes; ++i)
      buffer[i] ^= ScrambleKey(position_ + i);
    position_ += size;
    return true;
  }

  // Copies `size` bytes to out (all that is left with -1).
  bool CopyTo(FILE* out, int64_t size = -1) {
    if (size < 0) size = Left();
    std::vector<uint8_t> buffer(1 << 16);
    while (size > 0) {
      const int64_t chunk = std::min<int64_t>(size, static_cast<int64_t>(buffer.size()));
      if (!Read(buffer.data(), chunk) || fwrite(buffer.data(), 1, chunk, out) != size_t(chunk))
        return false;
      size -= chunk;
    }
    return true;
  }

  bool Skip(int64_t size) {
    if (size > Left()) return false;
    position_ += size;
    return true;
  }

 private:
  FILE* file_;
  Segment segment_;
  int64_t position_ = 0;
};

std::string SegmentName(size_t i) { return "segment " + std::to_string(i + 1); }

// An FLV segment: the file header only for the first, then its audio and
// video tags; script tags (metadata of the segment alone) are left out.
bool JoinFlv(SegmentReader& in, size_t number, FILE* out, std::string* why) {
  uint8_t header[9];
  if (!in.Read(header, sizeof header) || memcmp(header, "FLV", 3) != 0) {
    *why = SegmentName(number) + " is not FLV: a QSV variant this converter cannot read";
    return false;
  }
  const uint32_t dataOffset = BigEndian(header + 5, 4);
  if (dataOffset < sizeof header || !in.Skip(dataOffset - sizeof header + 4)) {
    *why = SegmentName(number) + " has a broken FLV header";
    return false;
  }
  if (number == 0) {
    // Our own header: the FLV header and a zero previous-tag size.
    const uint8_t start[13] = {'F', 'L', 'V', 1, header[4], 0, 0, 0, 9, 0, 0, 0, 0};
    if (fwrite(start, 1, sizeof start, out) != sizeof start) {
      *why = "cannot write the joined stream";
      return false;
    }
  }
  while (in.Left() > 0) {
    uint8_t tag[11];
    if (!in.Read(tag, sizeof tag)) {
      *why = SegmentName(number) + " ends inside an FLV tag";
      return false;
    }
    const int64_t body = BigEndian(tag + 1, 3) + 4;  // data and its previous-tag size
    if (body > in.Left()) {
      *why = SegmentName(number) + " ends inside an FLV tag";
      return false;
    }
    if ((tag[0] & 0x1F) == 18) {
      in.Skip(body);
      continue;
    }
    if (fwrite(tag, 1, sizeof tag, out) != sizeof tag || !in.CopyTo(out, body)) {
      *why = "cannot join " + SegmentName(number);
      return false;
    }
  }
  return true;
}

bool JoinTs(SegmentReader& in, size_t number, FILE* out, std::string* why) {
  uint8_t sync = 0;
  if (!in.Read(&sync, 1) || sync != 0x47) {
    *why = SegmentName(number) + " is not MPEG-TS: a QSV variant this converter cannot read";
    return false;
  }
  if (fwrite(&sync, 1, 1, out) != 1 || !in.CopyTo(out)) {
    *why = "cannot join " + SegmentName(number);
    return false;
  }
  return true;
}

}  // namespace

bool ReadIndex(FILE* file, int64_t fileSize, Index* index, std::string* why) {
  uint8_t header[kIndexStart];
  if (fileSize < kIndexStart || !ReadAt(file, 0, header, sizeof header) ||
      memcmp(header, kMagic, kMagicSize) != 0) {
    *why = "not a QSV file (no \"QIYI VIDEO\" header)";
    return false;
  }
  index->version = static_cast<uint32_t>(LittleEndian(header + 0x0A, 4));
  if (index->version != 1 && index->version != 2) {
    *why = "QSV version " + std::to_string(index->version) + " is not one this converter reads";
    return false;
  }
  const uint32_t count = static_cast<uint32_t>(LittleEndian(header + 0x56, 4));
  const int64_t indexEnd = kIndexStart + int64_t(count) * kIndexEntrySize;
  if (count == 0 || count > kMaxSegments || indexEnd > fileSize) {
    *why = "the QSV index is broken: " + std::to_string(count) + " segments";
    return false;
  }
  std::vector<uint8_t> entries(static_cast<size_t>(indexEnd - kIndexStart));
  if (!ReadAt(file, kIndexStart, entries.data(), entries.size())) {
    *why = "cannot read the QSV index";
    return false;
  }
  index->segments.clear();
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = entries.data() + int64_t(i) * kIndexEntrySize;
    Segment s;
    const uint64_t offset = LittleEndian(entry + 16, 8);
    s.size = static_cast<int64_t>(LittleEndian(entry + 24, 4));
    if (offset < uint64_t(indexEnd) || offset > uint64_t(fileSize) || s.size == 0 ||
        int64_t(offset) + s.size > fileSize) {
      *why = "the QSV index is broken: " + SegmentName(i) + " lies outside the file";
      return false;
    }
    s.offset = static_cast<int64_t>(offset);
    index->segments.push_back(s);
  }
  return true;
}

bool JoinSegments(FILE* file, const Index& index, FILE* out, std::string* why) {
  for (size_t i = 0; i < index.segments.size(); ++i) {
    SegmentReader in(file, index.segments[i]);
    const bool ok = index.version == static_cast<uint32_t>(SegmentKind::Flv)
                        ? JoinFlv(in, i, out, why)
                        : JoinTs(in, i, out, why);
    if (!ok) return false;
  }
  if (fflush(out) != 0) {
    *why = "cannot write the joined stream";
    return false;
  }
  return true;
}

}  // namespace qsv
