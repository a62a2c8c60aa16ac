// The GUI library's Win32 back end keeps key state by virtual-key code.
#include "platform/input.h"

namespace platform {

int KeyIndexForVirtualKey(int virtualKey) { return virtualKey > 0 && virtualKey < 256 ? virtualKey : -1; }

}  // namespace platform
