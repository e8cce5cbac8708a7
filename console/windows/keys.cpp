// Windows key source: the console keyboard without echo (_kbhit, _getch), or
// the bytes of standard input when it is a pipe or a file. Non-character keys
// arrive from the console as 0 or 0xE0 followed by a second code; both codes
// are dropped, so that an arrow key never acts as a letter command.
#include "console/platform.h"

#include <conio.h>
#include <windows.h>

enum { SOURCE_NONE, SOURCE_CONSOLE, SOURCE_PIPE, SOURCE_FILE };

static int next_key = -1;  // read ahead by plat_key_waiting
static bool input_ended;

static HANDLE input_handle() { return GetStdHandle(STD_INPUT_HANDLE); }

static int key_source()
{
    static int source = -1;
    if (source >= 0)
        return source;
    HANDLE in = input_handle();
    DWORD mode;
    if (in == nullptr || in == INVALID_HANDLE_VALUE)
        source = SOURCE_NONE;
    else if (GetConsoleMode(in, &mode))
        source = SOURCE_CONSOLE;
    else if (GetFileType(in) == FILE_TYPE_PIPE)
        source = SOURCE_PIPE;
    else
        source = SOURCE_FILE;
    return source;
}

static bool is_prefix_of_second_code(int code) { return code == 0 || code == 0xE0; }

static int console_key()
{
    for (;;) {
        // Waiting on the input handle makes a console that takes typed keys
        // in lazily (wine's) take them in now.
        WaitForSingleObject(input_handle(), 0);
        if (!_kbhit())
            return -1;
        int code = _getch();
        if (!is_prefix_of_second_code(code))
            return code;
        _getch();
    }
}

static int byte_from_input()
{
    unsigned char b;
    DWORD got = 0;
    if (!ReadFile(input_handle(), &b, 1, &got, nullptr) || got == 0) {
        input_ended = true;  // end of input: no key is ever waiting again
        return -1;
    }
    return b;
}

static int pipe_key()
{
    DWORD waiting = 0;
    if (PeekNamedPipe(input_handle(), nullptr, 0, nullptr, &waiting, nullptr))
        return waiting > 0 ? byte_from_input() : -1;
    if (GetLastError() == ERROR_BROKEN_PIPE) {
        input_ended = true;  // the writer has closed its end
        return -1;
    }
    // A pipe that cannot be looked into (wine's for a POSIX pipe) is read
    // like a file: each byte as it comes.
    return byte_from_input();
}

static int fetch_key()
{
    if (input_ended)
        return -1;
    switch (key_source()) {
    case SOURCE_CONSOLE:
        return console_key();
    case SOURCE_PIPE:
        return pipe_key();
    case SOURCE_FILE:
        return byte_from_input();
    default:
        return -1;
    }
}

bool plat_key_waiting()
{
    if (next_key < 0)
        next_key = fetch_key();
    return next_key >= 0;
}

int plat_peek_key() { return plat_key_waiting() ? (signed char)next_key : 0; }

int plat_read_key()
{
    if (!plat_key_waiting())
        return 0;
    int key = (signed char)next_key;
    next_key = -1;
    return key;
}
