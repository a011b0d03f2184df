// Where a QX-XML file may be cut into ranges of whole top-level series, found from a few of its
// bytes. A cut found here is only a guess: the parsers of the ranges check it (a cut inside a
// comment, CDATA, a processing instruction or a nested element leaves a range that does not
// parse cleanly).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tidemill {

struct QXHead {
  std::size_t firstSeries = 0;  // offset of the first series start tag: the bytes before it are the head
  std::string rootName;         // qualified name of the root element, for the end tag that closes a range
};

// The head of a file from its first bytes, or nothing where it is not understood: an encoding
// that is not ASCII-compatible, a NUL byte, a construct left open within head, a DOCTYPE that
// declares entities, an empty root, anything but blanks, comments and processing instructions
// between the root's start tag and the first series, or no series within head.
std::optional<QXHead> FindQXHead(std::string_view head);

// Offset in window of the first series start tag ("<series" or "<prefix:series" in any letter
// case, then a blank, "/" or ">"), or npos. A tag that window cuts off is not found.
std::size_t FindSeriesStart(std::string_view window);

// Reads size bytes of a file from offset at, fewer only where the file ends.
using ReadBytesAt = std::function<std::string(uint64_t at, std::size_t size)>;

inline constexpr std::size_t kCutWindow = 64 << 10;

// The series start tag nearest to target that lies in [low, high) and within reach of target,
// or nothing; the nearer one behind target where two are as near. The file is read a window at
// a time, ahead of target and behind it in turn, so that the search ends as soon as a tag is
// near.
std::optional<uint64_t> NearestSeriesStart(const ReadBytesAt& read, uint64_t target, uint64_t low, uint64_t high,
                                           uint64_t reach, std::size_t window = kCutWindow);

}  // namespace tidemill
