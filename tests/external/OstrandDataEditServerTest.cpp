#include "external/OstrandDataEditServer.h"

#include <gtest/gtest.h>

#include "common/Parallel.h"
#include "diagnostics/RunState.h"
#include "support/FaultyFileSystem.h"

namespace tidemill {
namespace {

using Strings = std::vector<std::string>;
using testing::ReplaceAll;

// One request through the registry: the commands as objects 1..N, the edit-node file with the
// bytes given ("<missing>": none). Gives the file afterwards, then per object "" or its message,
// "$" standing for the directory.
Strings Request(const std::string& file, const Strings& commands, std::string header = {}) {
  ThreadCount = ThreadsFromEnvironment();  // as Main resolves it
  testing::TempDir dir;
  if (file != "<missing>") dir.Write("e.fnm", file);
  if (header.empty()) header = "set_values  FILE \"e.fnm\"\tSTARTUPDIR \"" + dir.Path() + "\" ";
  SafeArray<std::string> objects;
  objects.ReDim(0, static_cast<int32_t>(commands.size()));
  for (std::size_t k = 0; k < commands.size(); ++k) objects(static_cast<int32_t>(k) + 1) = commands[k];
  SafeArray<int16_t> flags;
  SafeArray<std::string> messages;
  int16_t indicator = 0;
  int32_t n = static_cast<int32_t>(commands.size());
  const int32_t stored =
      CreateDataEditServer("OSTRAND.dataeditserver")->RequestByClient(header, flags, n, objects, messages, indicator);
  Strings out = {testing::Slurp(dir.File("e.fnm"))};
  for (int32_t k = 1; k <= n; ++k) {
    EXPECT_EQ(flags(k) != 0, !messages(k).empty());
    out.push_back(dir.Masked(messages(k), "$"));
  }
  EXPECT_EQ(stored, std::count(out.begin() + 1, out.end(), ""));
  EXPECT_EQ(indicator != 0, stored < n);
  EXPECT_EQ(dir.Listing(), file == "<missing>" ? "" : "e.fnm");
  return out;
}

TEST(OstrandDataEditServer, RewritesTheListedLinesOnly) {
  const std::string file =
      "* ID A Q NROFVALUES 1 VALUES 0\r\n\r\n  ID\tA Q  nrofvalues 2 values 0 0  \r\nID A q NROFVALUES 1 VALUES 5\n"
      "ID B Q NROFVALUES 2 VALUES 1\rID Str\xF6m Q NROFVALUES 1 VALUES 0\rid A Q NROFVALUES 0 VALUES";
  const std::string form = "not of the form ID object parameter NROFVALUES count VALUES values";
  // Lines are read 1024 at a time: the first line past a batch, a malformed one in the next
  // (the first of two is named).
  std::string batch;
  for (int i = 1; i <= 1024; ++i) batch += "*\r\n";
  const std::string after =
      "ID D Q NROFVALUES 1 VALUES 0\r\n*\r\n*\r\n*\r\n*\r\nID E Q NROFVALUES 2 VALUES 1\r\n"
      "ID E Q NROFVALUES 3 VALUES 1";
  const std::pair<std::pair<std::string, Strings>, Strings> rows[] = {
      // Values as received; both lines of A Q; a later command for a pair wins; names in
      // Windows-1252 match their UTF-8 form.
      {{file, {"ID A Q NROFVALUES 0 VALUES ", "ID Ström Q NROFVALUES 3 VALUES 1.50  -.5 1E+20 ",
               "ID A Q NROFVALUES 1 VALUES 7"}},
       {"* ID A Q NROFVALUES 1 VALUES 0\r\n\r\n  ID\tA Q NROFVALUES 1 VALUES 7\r\nID A q NROFVALUES 1 VALUES 5\n"
        "ID B Q NROFVALUES 2 VALUES 1\rID Str\xF6m Q NROFVALUES 3 VALUES 1.50  -.5 1E+20\rid A Q NROFVALUES 1 VALUES 7",
        "", "", ""}},
      {{file, {"ID B Q NROFVALUES 1 VALUES 1", "ID C Q NROFVALUES 0 VALUES", "ID A", "ID A Q NROFVALUE 1 VALUES 1",
               "ID A Q NROFVALUES x VALUES 1", "ID A Q NROFVALUES 2 VALUES 1", "ID A Q NROFVALUES 2 VALUES 1 1,5",
               "ID A Q NROFVALUES 1 VALUES nan"}},
       {file, "Object 1, ID B Q: line 5 of the edit-node file $/e.fnm is malformed: NROFVALUES is 2 but 1 value follows",
        "Object 2, ID C Q: not listed in the edit-node file $/e.fnm", "Object 3: " + form, "Object 4, ID A Q: " + form,
        "Object 5, ID A Q: NROFVALUES is not a whole number: x", "Object 6, ID A Q: NROFVALUES is 2 but 1 value follows",
        "Object 7, ID A Q: value 2 is not a number: 1,5", "Object 8, ID A Q: value 1 is not a number: nan"}},
      {{batch + after, {"ID D Q NROFVALUES 1 VALUES 4", "ID E Q NROFVALUES 1 VALUES 1"}},
       {batch + ReplaceAll(after, "VALUES 0", "VALUES 4"), "",
        "Object 2, ID E Q: line 1030 of the edit-node file $/e.fnm is malformed: NROFVALUES is 2 but 1 value follows"}},
      {{"<missing>", {"ID A Q NROFVALUES 0 VALUES"}},
       {"<missing>", "Object 1, ID A Q: edit-node file not read: File not found: $/e.fnm"}},
  };
  for (const auto& [in, expected] : rows) EXPECT_EQ(Request(in.first, in.second), expected);
}

}  // namespace
}  // namespace tidemill
