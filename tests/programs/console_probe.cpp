// Paints the probe picture on the real terminal, reports that it is ready,
// then ends as told: "return" or "exit1" after the key x, "wait" for a signal;
// "cursor" shows the cursor and returns after x; "spin" paints for ever and
// never reads a key or pauses; "last-words" paints once more, then spins
// without touching the console again.
#include "console/con.h"
#include "tests/programs/probe_picture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    paint_probe_picture();
    if (strcmp(argv[2], "cursor") == 0)
        con_cursor_show();
    con_flush();  // on the terminal before the test is told to look
    FILE *ready = fopen(argv[1], "w");
    if (!ready)
        return 2;
    fprintf(ready, "%d\n", (int)getpid());
    fclose(ready);
    if (strcmp(argv[2], "last-words") == 0) {
        con_goto(0, 24);
        con_print("last words");
        static volatile bool spinning = true;
        while (spinning) {
        }
    }
    while (strcmp(argv[2], "spin") == 0) {
        con_goto(0, 24);
        con_print("spin");
    }
    bool wait_for_signal = strcmp(argv[2], "wait") == 0;
    for (;;) {
        if (!wait_for_signal && con_key_waiting() && con_read_key() == 'x')
            break;
        con_sleep_ms(10);
    }
    if (strcmp(argv[2], "exit1") == 0)
        exit(1);
    return 0;
}
