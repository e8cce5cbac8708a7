// Windows millisecond pause: kernel32's Sleep, which no signal cuts short.
#include "console/platform.h"

#include <windows.h>

unsigned plat_sleep_ms(unsigned ms)
{
    Sleep(ms);
    return 0;
}
