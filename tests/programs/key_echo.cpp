// Writes the keys it reads from standard input to the file named first, one
// decimal code a line, until no key has come for a while.
#include "console/con.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    FILE *out = fopen(argv[1], "w");
    if (!out)
        return 2;
    for (int idle = 0; idle < 50;) {
        if (con_key_waiting()) {
            fprintf(out, "%d\n", con_read_key());
            idle = 0;
        } else {
            ++idle;
            con_sleep_ms(2);
        }
    }
    // At end of input no key is ever waiting, however often one asks.
    for (int i = 0; i < 100000; ++i)
        if (con_key_waiting())
            fprintf(out, "late %d\n", con_read_key());
    fclose(out);
    return 0;
}
