// Reading a large QX-XML file: the reader's time against a bare libxml2 parse of the same file
// and against copying it, all measured in one run.
//   qx_reader_bench [events per series] [series] [directory]
#include <libxml/SAX2.h>
#include <libxml/parser.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "common/Numbers.h"
#include "timeseries/QXContentHandler.h"

using namespace tidemill;

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A file as the QX-XML writer lays it out: hourly events from 2000-01-01 with a flag.
void Generate(const std::string& path, const std::string& binPath, long events, int series) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<TimeSeries xmlns=\"http://www.orva.example/orva/QX\" version=\"1.2\">\r\n";
  std::string headers = xml;
  std::string bin;
  const double start = DateSerial(2000, 1, 1);
  for (int s = 1; s <= series; ++s) {
    const double end = start + (events - 1) / 24.0;
    std::string header = "\t<series>\r\n\t\t<header>\r\n\t\t\t<type>instantaneous</type>\r\n\t\t\t<locationId>L" +
                         std::to_string(s) + "</locationId>\r\n\t\t\t<parameterId>Q</parameterId>\r\n"
                         "\t\t\t<timeStep unit=\"second\" multiplier=\"3600\"/>\r\n\t\t\t<startDate date=\"" + DateText(start) +
                         "\" time=\"" + TimeText(start) + "\"/>\r\n\t\t\t<endDate date=\"" + DateText(end) + "\" time=\"" +
                         TimeText(end) + "\"/>\r\n\t\t\t<missVal>-999.99</missVal>\r\n\t\t</header>\r\n";
    xml += header;
    headers += header + "\t</series>\r\n";
    for (long i = 0; i < events; ++i) {
      const double t = start + i / 24.0;
      const float v = static_cast<float>((i * 37 + s) % 100000) / 100.0f;
      xml += "\t\t<event date=\"" + DateText(t) + "\" time=\"" + TimeText(t) + "\" value=\"" + NumberText(v) +
             "\" flag=\"0\"/>\r\n";
      char b[4];
      std::memcpy(b, &v, 4);
      bin.append(b, 4);
    }
    xml += "\t</series>\r\n";
  }
  xml += "</TimeSeries>\r\n";
  headers += "</TimeSeries>\r\n";
  std::ofstream(path, std::ios::binary) << xml;
  std::ofstream(path.substr(0, path.size() - 4) + "-headers.xml", std::ios::binary) << headers;
  std::ofstream(binPath, std::ios::binary) << bin;
}

double Copy(const std::string& path) {
  const auto t0 = std::chrono::steady_clock::now();
  std::FILE* in = std::fopen(path.c_str(), "rb");
  std::FILE* out = std::fopen("/dev/null", "wb");
  std::vector<char> buf(1 << 20);
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) std::fwrite(buf.data(), 1, n, out);
  std::fclose(in);
  std::fclose(out);
  return Seconds(t0);
}

void NoStart(void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int, const xmlChar**) {}
void NoEnd(void*, const xmlChar*, const xmlChar*, const xmlChar*) {}
void NoText(void*, const xmlChar*, int) {}

double BareParse(const std::string& path) {
  const auto t0 = std::chrono::steady_clock::now();
  xmlSAXHandler h{};
  h.initialized = XML_SAX2_MAGIC;
  h.startElementNs = NoStart;
  h.endElementNs = NoEnd;
  h.characters = NoText;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  std::vector<char> buf(256 * 1024);
  xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&h, nullptr, nullptr, 0, path.c_str());
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), in)) > 0) xmlParseChunk(ctxt, buf.data(), static_cast<int>(n), 0);
  xmlParseChunk(ctxt, nullptr, 0, 1);
  xmlFreeParserCtxt(ctxt);
  std::fclose(in);
  return Seconds(t0);
}

// The reading layer with handlers that do nothing: what the adapter adds to the bare parse.
double AdapterParse(const std::string& path) {
  const auto t0 = std::chrono::steady_clock::now();
  SaxContentHandler nothing;
  SaxXmlReader reader;
  reader.contentHandler(&nothing);
  reader.parseURL(path);
  return Seconds(t0);
}

template <class F>
double Best(F&& f, int runs = 3) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long events = argc > 1 ? std::atol(argv[1]) : 200000;
  const int series = argc > 2 ? std::atoi(argv[2]) : 10;
  const std::string dir = argc > 3 ? argv[3] : "/tmp";
  const std::string path = dir + "/qxbench.xml";
  const std::string headers = dir + "/qxbench-headers.xml";
  Generate(path, dir + "/qxbench.bin", events, series);
  std::rename((dir + "/qxbench.bin").c_str(), (dir + "/qxbench-headers.bin").c_str());

  std::ifstream probe(path, std::ios::binary | std::ios::ate);
  const double megabytes = static_cast<double>(probe.tellg()) / 1e6;
  const double copy = Best([&] { return Copy(path); });
  const double bare = Best([&] { return BareParse(path); });
  const double adapter = Best([&] { return AdapterParse(path); });
  long total = 0;
  const double read = Best([&] {
    const auto t0 = std::chrono::steady_clock::now();
    QXReadResult r = ReadQXFile(path);
    const double t = Seconds(t0);
    if (r.error) std::fprintf(stderr, "%s\n", r.error->Description().c_str());
    total = 0;
    for (const auto& s : *r.series) total += s->lValCounter();
    return t;
  });
  long binTotal = 0;
  const double side = Best([&] {
    const auto t0 = std::chrono::steady_clock::now();
    QXReadResult r = ReadQXFile(headers);
    const double t = Seconds(t0);
    if (r.error) std::fprintf(stderr, "%s\n", r.error->Description().c_str());
    binTotal = 0;
    for (const auto& s : *r.series) binTotal += s->lValCounter();
    return t;
  });
  std::printf("QX-XML file: %.1f MB, %d series, %ld events read (%ld from the side file)\n", megabytes, series, total,
              binTotal);
  std::printf("copy (cat)          %7.3f s\n", copy);
  std::printf("bare libxml2 parse  %7.3f s\n", bare);
  std::printf("SaxXmlReader, empty %7.3f s   %.2f x bare parse\n", adapter, adapter / bare);
  std::printf("ReadQXFile          %7.3f s   %.2f x bare parse, %.1f x copy\n", read, read / bare, read / copy);
  std::printf("ReadQXFile + .bin   %7.3f s   (headers-only XML and side file)\n", side);
  std::remove(path.c_str());
  std::remove(headers.c_str());
  std::remove((dir + "/qxbench-headers.bin").c_str());
  return 0;
}
