// Windows key source: the console keyboard, read on a thread of its own
// (console_keys.cpp), or the bytes of standard input when it is a pipe or a
// file.
#include "platform/key_chars.h"
#include "platform/platform.h"
#include "platform/windows/console_state.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
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

enum {
    PIPE_AHEAD = 256,
    SETTLE_MS = 20,
    FIRST_SETTLE_MS = 200  // the thread has yet to start
};

namespace {

// A pipe that cannot be looked into (wine's for a POSIX pipe) is read on a
// thread of its own, so that a poll never waits for its writer; the thread
// reads at most PIPE_AHEAD bytes ahead of the keys taken, and nothing of
// the pipe is lost.
struct PipeReader {
    std::mutex lock;
    std::condition_variable room, arrived;
    unsigned char bytes[PIPE_AHEAD];
    int head, count;
    bool ended;
    ULONGLONG reading_since;  // when the thread last went to read
};

}  // namespace

static PipeReader reader;

static DWORD WINAPI read_pipe(void *)
{
    for (;;) {
        unsigned char b;
        DWORD got = 0;
        bool read = ReadFile(input_handle(), &b, 1, &got, nullptr) && got == 1;
        std::unique_lock<std::mutex> held(reader.lock);
        if (!read) {
            reader.ended = true;
            reader.arrived.notify_all();
            return 0;
        }
        reader.room.wait(held, [] { return reader.count < PIPE_AHEAD; });
        reader.bytes[(reader.head + reader.count) % PIPE_AHEAD] = b;
        ++reader.count;
        reader.reading_since = GetTickCount64();
        reader.arrived.notify_all();
    }
}

// Bytes already in the pipe come within moments of the thread's read: a
// poll waits that long for them, so that keys piped in reach the same polls
// as on POSIX. An empty pipe costs it once after each key, not every poll.
static int key_read_ahead()
{
    static std::once_flag started;
    std::call_once(started, [] {
        reader.reading_since = GetTickCount64() + FIRST_SETTLE_MS - SETTLE_MS;
        HANDLE thread = CreateThread(nullptr, 0, read_pipe, nullptr, 0, nullptr);
        if (thread)
            CloseHandle(thread);
        else
            reader.ended = true;
    });
    std::unique_lock<std::mutex> held(reader.lock);
    while (reader.count == 0 && !reader.ended && GetTickCount64() < reader.reading_since + SETTLE_MS)
        reader.arrived.wait_for(held, std::chrono::milliseconds(1));
    if (reader.count == 0) {
        input_ended = reader.ended;
        return -1;
    }
    int b = reader.bytes[reader.head];
    reader.head = (reader.head + 1) % PIPE_AHEAD;
    --reader.count;
    reader.room.notify_one();
    return b;
}

static int pipe_key()
{
    static bool unpeekable;
    DWORD waiting = 0;
    if (!unpeekable && PeekNamedPipe(input_handle(), nullptr, 0, nullptr, &waiting, nullptr))
        return waiting > 0 ? byte_from_input() : -1;
    if (!unpeekable && GetLastError() == ERROR_BROKEN_PIPE) {
        input_ended = true;  // the writer has closed its end
        return -1;
    }
    unpeekable = true;
    return key_read_ahead();
}

static int fetch_byte()
{
    if (input_ended)
        return -1;
    switch (key_source()) {
    case SOURCE_CONSOLE:
        return console_next_key();
    case SOURCE_PIPE:
        return pipe_key();
    case SOURCE_FILE:
        return byte_from_input();
    default:
        return -1;
    }
}

// A character beyond ASCII is one key, as on POSIX. The console gives each
// as one byte already.
static int fetch_key()
{
    static KeyChars chars;
    for (;;) {
        int b = fetch_byte();
        if (b < 0 || key_source() == SOURCE_CONSOLE || key_chars_take(chars, (unsigned char)b))
            return b;
    }
}

static bool key_ready()
{
    if (next_key < 0)
        next_key = fetch_key();
    return next_key >= 0;
}

// A poll is where a shown cursor comes to rest; a peek between polls (the
// quit check of every LCD call) leaves it be.
bool plat_key_waiting()
{
    console_place_cursor();
    return key_ready();
}

int plat_peek_key() { return key_ready() ? (signed char)next_key : 0; }

int plat_read_key()
{
    if (!key_ready())
        return 0;
    int key = (signed char)next_key;
    next_key = -1;
    return key;
}
