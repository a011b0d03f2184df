// Message boxes: on a console, a message written at once to standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace tidemill {

// Message-box styles the program uses (each with an OK button only).
inline constexpr int32_t kStyleCritical = 16;
inline constexpr int32_t kStyleExclamation = 48;
inline constexpr int32_t kStyleInformation = 64;

// Shows a message: the title (the program's title when empty), ": " (a blank when the title
// ends in ":"), the text with CR LF as line breaks. Style is not shown.
void ShowMessageBox(std::string_view text, int32_t style, std::string_view title);

// The line that ShowMessageBox writes, without its final line break.
std::string FormatMessageBox(std::string_view text, std::string_view title);

using MessageBoxHandler = std::function<void(std::string_view text, int32_t style, std::string_view title)>;

// Sends message boxes to a handler for the life of this object (tests).
class ScopedMessageBoxHandler {
 public:
  explicit ScopedMessageBoxHandler(MessageBoxHandler handler);
  ~ScopedMessageBoxHandler();
  ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
  ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

 private:
  MessageBoxHandler previous_;
};

}  // namespace tidemill
