#include "driver/Main.h"

namespace tidemill {

int Main(int, char**) { return 0; }

}  // namespace tidemill
