#include <windows.h>

#include "common/DateTime.h"

namespace tidemill {

double LocalNow() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  return DateSerial(local.wYear, local.wMonth, local.wDay) + TimeSerial(local.wHour, local.wMinute, local.wSecond);
}

}  // namespace tidemill
