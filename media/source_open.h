// Opening a source file for demuxing so that nothing but the file itself is
// read: a playlist or a list posing as a video must not pull in the files it
// names. Used by the probe and by the preview player; FFmpeg only, so that
// the player core can link it without the rest of the engine.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace media {

// The only protocol a source is read through, here and in the transcoder.
inline constexpr const char* kSourceProtocols = "file";

// True for demuxers whose input names other files or streams (playlists,
// concatenation lists, manifests, scripts, network descriptions) and for
// those that read no file at all (devices, filter graphs).
bool ReadsBeyondItself(const AVInputFormat* format);

// The name that picks this demuxer again (the transcoder's -f value): the
// first of its comma-separated names.
std::string DemuxerName(const AVInputFormat* format);

// The transcoder's options that go before a source's -i: the file protocol
// only and, when known, the probed demuxer (so that it does not guess again
// from a file that may have changed since), reading the file alone.
std::vector<std::string> TranscoderInputOptions(const std::string& inputFormat);

// Opens path (made absolute, so that a ':' in a relative name is no protocol)
// as avformat_open_input does, but reads through the file protocol only,
// picks the demuxer from the file's content first and refuses one that would
// read beyond the file. *context may come allocated (with its interrupt
// callback set); it is freed and set to null on failure, as by
// avformat_open_input. options, when given, are passed on to the demuxer and
// hold the ones it did not take afterwards. Returns 0, or a negative AVERROR
// with a reason a person understands in *error.
int OpenSourceFile(const std::string& path, AVFormatContext** context, AVDictionary** options,
                   std::string* error);

// Clockwise degrees (0-359) by which the transcoder turns the stream's
// picture before its filters: its display matrix, read as the transcoder
// reads it (a phone's portrait clip, whose matrix reads -90, is turned 90).
// 0 without a matrix. The probe and the preview player both follow it.
int StreamTurn(const AVStream* stream);

}  // namespace media
