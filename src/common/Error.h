// The one error type of the program: a run-time error number with its description.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace tidemill {

// Run-time error numbers of the original platform, and the program's own.
enum ErrorNumber : int32_t {
  kErrInvalidCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscript = 9,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrBadFileName = 52,
  kErrFileNotFound = 53,
  kErrDeviceIO = 57,
  kErrDiskFull = 61,
  kErrPastEndOfFile = 62,
  kErrPermissionDenied = 70,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrObjectNotSet = 91,
  kErrCantCreateObject = 429,
  kErrQXFile = 1001,
  kErrBinFile = 1002,
};

// The platform's standard description of an error number ("Overflow", "File not found").
std::string_view StandardDescription(int32_t number);

class Error : public std::exception {
 public:
  // An error with the standard description of its number.
  explicit Error(int32_t number);
  // An error with a description of its own (the program's own texts; see DetailedError for the
  // platform's numbers).
  Error(int32_t number, std::string description, std::string source = {});

  int32_t Number() const { return number_; }
  const std::string& Description() const { return description_; }
  // The procedure that raised the error, where a report names it.
  const std::string& Source() const { return source_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
};

// An error whose description is the standard text of its number, ": " and the detail that
// finds the fault (file, element, line, value).
Error DetailedError(int32_t number, std::string_view detail, std::string source = {});

// The error in flight, as an Error: bad_alloc becomes 7, any other exception 5 with its text.
// Call only inside a catch block.
Error CurrentError();

// "Error N (description)".
std::string ErrorSummary(const Error& error);
// "Error N (description) in procedure P of Module Mod_Main".
std::string ModuleErrorText(const Error& error, std::string_view procedure);
// "Error N (description) in procedure P of Class Module C".
std::string ClassErrorText(const Error& error, std::string_view procedure, std::string_view className);

// An errno value as the platform's file error (53 file not found, 70 permission denied, ...),
// its description naming the file.
Error FileError(int errnoValue, std::string_view path);

}  // namespace tidemill
