/* A student's mistake: the program lays the board out, then loops for ever
 * without polling or pausing, so no scenario step is ever carried out. */
#include <wena.h>

int main(void)
{
    volatile unsigned long spins = 0;
    sim_poll();
    for (;;)
        ++spins;
}
