#include "diagnostics/MessageBox.h"

#include <cstdio>
#include <string>

#include "common/Program.h"

namespace tidemill {

namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

std::string FormatMessageBox(std::string_view text, std::string_view title) {
  std::string line(title.empty() ? std::string_view(kProgramTitle) : title);
  line += line.back() == ':' ? " " : ": ";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      line += '\n';
      ++i;
    } else {
      line += text[i];
    }
  }
  return line;
}

void ShowMessageBox(std::string_view text, int32_t style, std::string_view title) {
  if (Handler()) {
    Handler()(text, style, title);
    return;
  }
  const std::string line = FormatMessageBox(text, title) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

ScopedMessageBoxHandler::ScopedMessageBoxHandler(MessageBoxHandler handler) : previous_(std::move(Handler())) {
  Handler() = std::move(handler);
}

ScopedMessageBoxHandler::~ScopedMessageBoxHandler() { Handler() = std::move(previous_); }

}  // namespace tidemill
