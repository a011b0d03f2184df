// What the Windows sources of the platform seam share: UTF-16 at the system's calls, its error
// codes as the program's file errors. Included by *Windows.cpp only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Error.h"

namespace tidemill {

std::wstring Utf16(std::string_view utf8);
// Opens with CreateFileW; a file that another run holds for a moment while it replaces it is
// tried again for about a second before its sharing violation counts.
void* OpenShared(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition, uint32_t flags);
std::string Utf8(std::wstring_view utf16);

// A Windows error code (GetLastError) as the run-time error of the same meaning, its
// description naming the file and giving the system's text.
Error WindowsFileError(uint32_t code, std::string_view path);

}  // namespace tidemill
