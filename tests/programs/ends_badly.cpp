// Ends a board program the ways that run no exit handlers: abort(), a
// failed assert, an uncaught exception.
#undef NDEBUG  // the assert must be there in a release build too
#include <wena.h>

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

int main(int argc, char **argv)
{
    const char *how = argc > 1 ? argv[1] : "";
    lcd_puts("ending");
    for (int i = 0; i < 20; ++i)
        sim_poll();
    lcd_goto(0, 1);
    lcd_puts(how);  // left waiting: the end must send it
    if (strcmp(how, "assert") == 0)
        assert(strcmp(how, "assert") != 0);
    if (strcmp(how, "throw") == 0)
        throw std::runtime_error("the board program's own exception");
    if (strcmp(how, "abort") == 0)
        abort();
    return 0;
}
