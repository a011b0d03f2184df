// What the benchmarks share: timing and the bare libxml2 baseline.
#pragma once

#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace tidemill::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

inline void NoStart(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
                    const xmlChar**) {}
inline void NoEnd(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
inline void NoText(void*, const xmlChar*, int) {}

// The baseline: libxml2's SAX2 push parser with empty callbacks, fed in 1 MiB blocks.
inline double PushParse(const std::string& path) {
  const auto t0 = Clock::now();
  xmlSAXHandler h{};
  h.initialized = XML_SAX2_MAGIC;
  h.startElementNs = NoStart;
  h.endElementNs = NoEnd;
  h.characters = NoText;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) {
    std::perror(path.c_str());
    return 0;
  }
  std::vector<char> block(1 << 20);
  xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&h, nullptr, nullptr, 0, path.c_str());
  std::size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), in)) > 0) xmlParseChunk(ctxt, block.data(), static_cast<int>(n), 0);
  xmlParseChunk(ctxt, nullptr, 0, 1);
  xmlFreeParserCtxt(ctxt);
  std::fclose(in);
  return Seconds(t0);
}

}  // namespace tidemill::bench
