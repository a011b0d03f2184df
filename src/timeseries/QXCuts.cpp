#include "timeseries/QXCuts.h"

#include <algorithm>

#include "common/Text.h"

namespace tidemill {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool At(std::string_view text, std::size_t at, std::string_view what) {
  return at <= text.size() && text.substr(at, what.size()) == what;
}

// Just past the first close at or after from, or npos.
std::size_t After(std::string_view text, std::size_t from, std::string_view close) {
  const std::size_t at = text.find(close, from);
  return at == npos ? npos : at + close.size();
}

// Encodings in which every byte below 0x80 is that ASCII character, so that a "<" byte is a "<".
bool AsciiCompatible(std::string_view encoding) {
  const std::string name = LowerAscii(encoding);
  for (const char* exact : {"utf-8", "utf8", "us-ascii", "ascii", "latin1", "iso-latin-1", "iso_8859-1"}) {
    if (name == exact) return true;
  }
  for (const char* family : {"iso-8859-", "windows-125", "cp125"}) {
    if (name.starts_with(family)) return true;
  }
  return false;
}

// The declared encoding of an XML declaration, or empty.
std::string_view DeclaredEncoding(std::string_view declaration) {
  std::size_t p = declaration.find("encoding");
  if (p == npos) return {};
  p += 8;
  while (p < declaration.size() && (IsXmlBlank(declaration[p]) || declaration[p] == '=')) ++p;
  if (p >= declaration.size() || (declaration[p] != '"' && declaration[p] != '\'')) return {};
  const std::size_t end = declaration.find(declaration[p], p + 1);
  return end == npos ? std::string_view() : declaration.substr(p + 1, end - p - 1);
}

// Just past the DOCTYPE that starts at p: quoted strings, and comments and processing
// instructions of the internal subset, may hold any character.
std::size_t AfterDoctype(std::string_view text, std::size_t p) {
  char quote = 0;
  bool subset = false;
  for (p += 9; p < text.size(); ++p) {
    const char c = text[p];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (At(text, p, "<!--")) {
      p = After(text, p + 4, "-->");
      if (p == npos) return npos;
      --p;
    } else if (At(text, p, "<?")) {
      p = After(text, p + 2, "?>");
      if (p == npos) return npos;
      --p;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '[') {
      subset = true;
    } else if (c == ']') {
      subset = false;
    } else if (c == '>' && !subset) {
      return p + 1;
    }
  }
  return npos;
}

// Just past a comment or processing instruction at p; p itself when there is none; npos when
// it is left open.
std::size_t AfterMisc(std::string_view text, std::size_t p) {
  if (At(text, p, "<!--")) return After(text, p + 4, "-->");
  if (At(text, p, "<?")) return After(text, p + 2, "?>");
  return p;
}

}  // namespace

std::size_t FindSeriesStart(std::string_view window) {
  constexpr std::size_t kLongestName = 256;
  for (std::size_t p = window.find('<'); p != npos; p = window.find('<', p + 1)) {
    std::size_t e = p + 1;
    while (e < window.size() && e - p <= kLongestName && !IsXmlBlank(window[e]) && window[e] != '>' && window[e] != '/' &&
           window[e] != '<') {
      ++e;
    }
    if (e >= window.size()) return npos;
    const std::string_view name = window.substr(p + 1, e - p - 1);
    const std::size_t colon = name.rfind(':');
    if (colon != 0 && EqualsNoCase(colon == npos ? name : name.substr(colon + 1), "series")) return p;
  }
  return npos;
}

std::optional<uint64_t> NearestSeriesStart(const ReadBytesAt& read, uint64_t target, uint64_t low, uint64_t high,
                                           uint64_t reach, std::size_t window) {
  // Windows overlap by more than a series tag that one of them cuts off.
  const std::size_t overlap = std::min<std::size_t>(512, window / 4);
  const uint64_t step = window - overlap;
  for (uint64_t k = 0; k * step < reach; ++k) {
    const uint64_t ahead = target + k * step;
    const bool roomBehind = target > low && target - low > k * step;
    if (ahead >= high && !roomBehind) break;
    std::optional<uint64_t> after, before;
    if (ahead < high) {
      const std::size_t found = FindSeriesStart(read(ahead, static_cast<std::size_t>(std::min<uint64_t>(window, high - ahead))));
      if (found != npos) after = ahead + found;
    }
    if (roomBehind) {
      // The last tag that starts in [begin, end); the bytes read go past end for a tag that
      // starts just before it.
      const uint64_t end = target - k * step;
      const uint64_t begin = end - std::min(step, end - low);
      const std::string bytes = read(begin, static_cast<std::size_t>(std::min<uint64_t>(end + overlap, high) - begin));
      const std::string_view view(bytes);
      for (std::size_t from = 0, found; from < view.size(); from += found + 1) {
        found = FindSeriesStart(view.substr(from));
        if (found == npos || begin + from + found >= end) break;
        before = begin + from + found;
      }
    }
    if (after && (!before || *after - target < target - *before)) return after;
    if (before) return before;
  }
  return std::nullopt;
}

std::optional<QXHead> FindQXHead(std::string_view head) {
  std::size_t p = At(head, 0, "\xEF\xBB\xBF") ? 3 : 0;
  if (At(head, p, "<?xml") && p + 5 < head.size() && IsXmlBlank(head[p + 5])) {
    const std::size_t end = After(head, p, "?>");
    if (end == npos) return std::nullopt;
    const std::string_view encoding = DeclaredEncoding(head.substr(p, end - p));
    if (!encoding.empty() && !AsciiCompatible(encoding)) return std::nullopt;
    p = end;
  }
  // Before the root: blanks, comments, processing instructions, the DOCTYPE.
  for (;;) {
    while (p < head.size() && IsXmlBlank(head[p])) ++p;
    if (p >= head.size() || head[p] != '<') return std::nullopt;
    const bool doctype = At(head, p, "<!DOCTYPE");
    const std::size_t next = doctype ? AfterDoctype(head, p) : AfterMisc(head, p);
    if (next == npos) return std::nullopt;
    // libxml2 bounds entity expansion against the bytes read so far in the whole document: a
    // range, having read less, would not meet the bound where the whole does.
    if (doctype && head.substr(p, next - p).find("<!ENTITY") != npos) return std::nullopt;
    if (next == p) break;
    p = next;
  }
  if (At(head, p, "<!")) return std::nullopt;
  std::size_t q = p + 1;
  while (q < head.size() && !IsXmlBlank(head[q]) && head[q] != '/' && head[q] != '>') ++q;
  QXHead found;
  found.rootName = std::string(head.substr(p + 1, q - p - 1));
  if (found.rootName.empty()) return std::nullopt;
  for (char quote = 0; q < head.size() && (quote != 0 || head[q] != '>'); ++q) {
    if (quote != 0) {
      if (head[q] == quote) quote = 0;
    } else if (head[q] == '"' || head[q] == '\'') {
      quote = head[q];
    } else if (head[q] == '<') {
      return std::nullopt;
    }
  }
  if (q >= head.size() || head[q - 1] == '/') return std::nullopt;
  // Inside the root, up to the first series: blanks, comments, processing instructions.
  for (p = q + 1;;) {
    while (p < head.size() && IsXmlBlank(head[p])) ++p;
    if (p >= head.size() || head[p] != '<') return std::nullopt;
    const std::size_t next = AfterMisc(head, p);
    if (next == npos) return std::nullopt;
    if (next != p) {
      p = next;
      continue;
    }
    if (FindSeriesStart(head.substr(p)) != 0) return std::nullopt;
    if (head.substr(0, p).find('\0') != npos) return std::nullopt;
    found.firstSeries = p;
    return found;
  }
}

}  // namespace tidemill
