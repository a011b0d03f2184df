// Reading a diagnostics file back, for the driver, diagnostics and end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "support/FaultyFileSystem.h"

namespace tidemill::testing {

inline constexpr const char* kDiagDeclaration = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
inline constexpr const char* kDiagRoot =
    R"(<Diag xmlns="http://www.orva.example/orva/QX" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" )"
    R"(xsi:schemaLocation="http://www.orva.example/orva/QX HTTP://www.orva.example/schemas/version1.0/qx-schemas/qx_diag.xsd" )"
    R"(version="1.2")";

// A log line: level and the message after "<exe> yyyy-mm-dd hh:mm:ss : ", unescaped.
using DiagLine = std::pair<int, std::string>;

// What every conversion reports: its outcome, and the form a QX-XML file is written in.
inline const std::string kConvertedText = "File has been converted succesfully.";
inline const std::string kNotConvertedText = "File has not been converted.";
inline const std::string kXmlFormText = "DebugMode is true, so writing QX file without binary data section";
inline const std::string kBinaryFormText = "Not in debugMode, so writing QX file with binary data section";

// The lines of a diagnostics file; fails the test unless every row of the file is exact: the
// declaration, the root, one tab-indented line element per message, the closing tag, CR LF ends.
inline std::vector<DiagLine> ReadDiagLines(const std::string& text, const std::string& exe) {
  const std::regex line("\t<line level=\"([134])\" description=\"" + exe +
                        R"re( \d{4}-\d\d-\d\d \d\d:\d\d:\d\d : ([^"]*)"/>)re");
  std::vector<std::string> rows;
  for (std::size_t p = 0, q; (q = text.find("\r\n", p)) != std::string::npos; p = q + 2)
    rows.push_back(text.substr(p, q - p));
  std::vector<DiagLine> lines;
  if (rows.size() < 2 || !text.ends_with("\r\n") || rows[0] != kDiagDeclaration) {
    ADD_FAILURE() << "not a diagnostics file: " << text;
  } else if (rows[1] != std::string(kDiagRoot) + "/>") {
    EXPECT_EQ(rows[1], std::string(kDiagRoot) + ">");
    EXPECT_EQ(rows.back(), "</Diag>");
    for (std::size_t i = 2; i + 1 < rows.size(); ++i) {
      std::smatch m;
      if (!std::regex_match(rows[i], m, line)) ADD_FAILURE() << "bad line element: " << rows[i];
      std::string message = m.size() > 2 ? m[2].str() : "";
      for (const auto& [ref, c] : {std::pair{"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#13;", "\r"},
                                   {"&#10;", "\n"}, {"&#9;", "\t"}, {"&amp;", "&"}})
        for (std::size_t p = 0; (p = message.find(ref, p)) != std::string::npos; ++p)
          message.replace(p, std::strlen(ref), c);
      lines.emplace_back(m.size() > 1 ? std::stoi(m[1].str()) : 0, message);
    }
  }
  return lines;
}

}  // namespace tidemill::testing
