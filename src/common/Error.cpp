#include "common/Error.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

namespace tidemill {

std::string_view StandardDescription(int32_t number) {
  switch (number) {
    case kErrInvalidCall: return "Invalid procedure call or argument";
    case kErrOverflow: return "Overflow";
    case kErrOutOfMemory: return "Out of memory";
    case kErrSubscript: return "Subscript out of range";
    case kErrDivisionByZero: return "Division by zero";
    case kErrTypeMismatch: return "Type mismatch";
    case kErrBadFileName: return "Bad file name or number";
    case kErrFileNotFound: return "File not found";
    case kErrDeviceIO: return "Device I/O error";
    case kErrDiskFull: return "Disk full";
    case kErrPastEndOfFile: return "Input past end of file";
    case kErrPermissionDenied: return "Permission denied";
    case kErrPathFileAccess: return "Path/File access error";
    case kErrPathNotFound: return "Path not found";
    case kErrObjectNotSet: return "Object variable or With block variable not set";
    case kErrCantCreateObject: return "ActiveX component can't create object";
    default: return "Application-defined or object-defined error";
  }
}

Error::Error(int32_t number) : number_(number), description_(StandardDescription(number)) {}

Error::Error(int32_t number, std::string description, std::string source)
    : number_(number), description_(std::move(description)), source_(std::move(source)) {}

Error DetailedError(int32_t number, std::string_view detail, std::string source) {
  std::string description(StandardDescription(number));
  description += ": ";
  description += detail;
  return Error(number, std::move(description), std::move(source));
}

Error CurrentError() {
  try {
    throw;
  } catch (const Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return Error(kErrOutOfMemory);
  } catch (const std::length_error&) {
    return Error(kErrOutOfMemory);
  } catch (const std::exception& e) {
    return Error(kErrInvalidCall, e.what());
  } catch (...) {
    return Error(kErrInvalidCall);
  }
}

std::string ErrorSummary(const Error& error) {
  return "Error " + std::to_string(error.Number()) + " (" + error.Description() + ")";
}

std::string ModuleErrorText(const Error& error, std::string_view procedure) {
  return ErrorSummary(error) + " in procedure " + std::string(procedure) + " of Module Mod_Main";
}

std::string ClassErrorText(const Error& error, std::string_view procedure, std::string_view className) {
  return ErrorSummary(error) + " in procedure " + std::string(procedure) + " of Class Module " +
         std::string(className);
}

Error FileError(int errnoValue, std::string_view path) {
  int32_t number;
  switch (errnoValue) {
    case ENOENT: number = kErrFileNotFound; break;
    case ENOTDIR: number = kErrPathNotFound; break;
    case EACCES:
    case EPERM:
    case EROFS: number = kErrPermissionDenied; break;
    case EISDIR:
    case EEXIST:
    case EBUSY:
    case ETXTBSY: number = kErrPathFileAccess; break;
    case ENAMETOOLONG: number = kErrBadFileName; break;
    case ENOMEM: number = kErrOutOfMemory; break;
#ifdef EDQUOT  // a quota is a full disk to its user; Windows' C library has no such code
    case EDQUOT:
#endif
    case ENOSPC: number = kErrDiskFull; break;
    default: number = kErrDeviceIO; break;
  }
  std::string description(StandardDescription(number));
  description += ": ";
  description += path;
  if (number == kErrDeviceIO || number == kErrPathFileAccess) {
    description += ": ";
    description += std::strerror(errnoValue);
  }
  return Error(number, std::move(description));
}

}  // namespace tidemill
