// Helpers of the driver, diagnostics and end-to-end tests (beside FaultyFileSystem.h).
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "diagnostics/MessageBox.h"
#include "support/FaultyFileSystem.h"

namespace tidemill::testing {

// The faulty file system with a current directory of the test's choosing, one that fails,
// and a count of the files opened for reading.
class DriverFileSystem : public FaultyFileSystem {
 public:
  std::optional<std::string> currentDirectory;
  bool failCurrentDirectory = false;  // raises error 53, as getcwd in a removed directory
  int openReads = 0;

  std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
    ++openReads;
    return FaultyFileSystem::OpenRead(path);
  }
  std::string CurrentDirectory() override {
    if (failCurrentDirectory) throw Error(kErrFileNotFound, "File not found: .");
    return currentDirectory ? *currentDirectory : FaultyFileSystem::CurrentDirectory();
  }
};

struct Box {
  std::string text;
  int32_t style;
  std::string title;
  bool operator==(const Box&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << "{\"" << b.text << "\", " << b.style << ", \"" << b.title << "\"}";
}

// Collects the message boxes shown while it lives.
class BoxRecorder {
 public:
  std::vector<Box> boxes;
  BoxRecorder()
      : scope_([this](std::string_view text, int32_t style, std::string_view title) {
          boxes.push_back({std::string(text), style, std::string(title)});
        }) {}

 private:
  ScopedMessageBoxHandler scope_;
};

inline constexpr const char* kDiagDeclaration = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
inline constexpr const char* kDiagRoot =
    R"(<Diag xmlns="http://www.orva.example/orva/QX" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" )"
    R"(xsi:schemaLocation="http://www.orva.example/orva/QX HTTP://www.orva.example/schemas/version1.0/qx-schemas/qx_diag.xsd" )"
    R"(version="1.2")";

struct DiagLine {
  int level;
  std::string message;  // the description after "<exe> yyyy-mm-dd hh:mm:ss : ", unescaped
  bool operator==(const DiagLine&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const DiagLine& l) { return os << l.level << " \"" << l.message << "\""; }

inline std::string Unescape(std::string s) {
  const std::pair<const char*, const char*> refs[] = {{"&quot;", "\""}, {"&lt;", "<"},   {"&gt;", ">"},
                                                      {"&#13;", "\r"},  {"&#10;", "\n"}, {"&#9;", "\t"}, {"&amp;", "&"}};
  for (const auto& [from, to] : refs)
    for (std::size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += std::string_view(to).size())
      s.replace(p, std::string_view(from).size(), to);
  return s;
}

// The lines of a diagnostics file; fails the test when the frame (declaration, root, closing,
// CR LF line ends, tab indentation) or a description's "<exe> yyyy-mm-dd hh:mm:ss : " is not exact.
inline std::vector<DiagLine> ReadDiagLines(const std::string& text, const std::string& exe) {
  std::vector<std::string> rows;
  for (std::size_t p = 0, q; (q = text.find("\r\n", p)) != std::string::npos; p = q + 2) rows.push_back(text.substr(p, q - p));
  std::vector<DiagLine> lines;
  if (rows.size() < 2 || text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) {
    ADD_FAILURE() << "not a diagnostics file: " << text;
    return lines;
  }
  EXPECT_EQ(rows[0], kDiagDeclaration);
  if (rows[1] == std::string(kDiagRoot) + "/>") {
    EXPECT_EQ(rows.size(), 2u);
    return lines;
  }
  EXPECT_EQ(rows[1], std::string(kDiagRoot) + ">");
  EXPECT_EQ(rows.back(), "</Diag>");
  const std::string head = "\t<line level=\"";
  for (std::size_t i = 2; i + 1 < rows.size(); ++i) {
    const std::string& r = rows[i];
    const auto mid = r.find("\" description=\"");
    if (r.rfind(head, 0) != 0 || mid == std::string::npos || r.size() < mid + 18 || r.compare(r.size() - 3, 3, "\"/>") != 0) {
      ADD_FAILURE() << "bad line element: " << r;
      continue;
    }
    const std::string level = r.substr(head.size(), mid - head.size());
    const std::string description = Unescape(r.substr(mid + 15, r.size() - 3 - mid - 15));
    EXPECT_TRUE(level.size() == 1 && std::string("134").find(level[0]) != std::string::npos) << r;
    std::string shape = description.substr(std::min(description.size(), exe.size() + 1), 22);
    for (char& c : shape) c = (c >= '0' && c <= '9') ? 'd' : c;
    EXPECT_TRUE(description.rfind(exe + " ", 0) == 0 && shape == "dddd-dd-dd dd:dd:dd : ") << description;
    lines.push_back({level.empty() ? 0 : level[0] - '0', description.substr(std::min(description.size(), exe.size() + 23))});
  }
  return lines;
}

}  // namespace tidemill::testing
