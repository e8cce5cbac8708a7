// Keys typed on the Windows console, read on a thread of their own as they
// come, so that a poll finds them in memory without asking the console. As
// on POSIX, at most 256 keys wait (a PC keyboard buffer): a paste beyond
// that is dropped rather than acted on long after. Non-character keys
// (arrows, function keys) carry no character and are dropped.
#include "platform/windows/console_state.h"

#include <mutex>
#include <windows.h>

enum { KEY_CAPACITY = 256, RECORDS_AT_ONCE = 64 };

namespace {

struct KeyRing {
    std::mutex lock;
    unsigned char keys[KEY_CAPACITY];
    int head, count;
    bool dropping;  // the console has been given back: keys read now are dropped too
};

}  // namespace

static KeyRing ring;

static void push_key(unsigned char key)
{
    if (ring.count == KEY_CAPACITY || ring.dropping)
        return;
    ring.keys[(ring.head + ring.count) % KEY_CAPACITY] = key;
    ++ring.count;
}

// A character beyond ASCII (a full-width digit from the IME, an accented
// letter, a katakana) is one key, which no board takes: the first byte of
// its UTF-8 form, as a POSIX terminal gives it. Its code page 932 bytes
// would be keys of their own, the second often an ASCII letter.
static void push_character(wchar_t c)
{
    if (c < 0x80)
        push_key((unsigned char)c);
    else if (c < 0x800)
        push_key((unsigned char)(0xC0 | (c >> 6)));
    else if (c >= 0xD800 && c <= 0xDBFF)
        push_key(0xF0);  // the first half of a character beyond the BMP
    else if (c < 0xDC00 || c > 0xDFFF)
        push_key((unsigned char)(0xE0 | (c >> 12)));
}

static void take_records(const INPUT_RECORD *records, DWORD n)
{
    std::lock_guard<std::mutex> held(ring.lock);
    for (DWORD i = 0; i < n; ++i) {
        const KEY_EVENT_RECORD &key = records[i].Event.KeyEvent;
        if (records[i].EventType != KEY_EVENT || !key.bKeyDown || key.uChar.UnicodeChar == 0)
            continue;
        for (WORD repeat = 0; repeat < key.wRepeatCount; ++repeat)
            push_character(key.uChar.UnicodeChar);
    }
}

static DWORD WINAPI read_console(void *)
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    INPUT_RECORD records[RECORDS_AT_ONCE];
    DWORD got = 0;
    while (WaitForSingleObject(in, INFINITE) == WAIT_OBJECT_0 && ReadConsoleInputW(in, records, RECORDS_AT_ONCE, &got))
        take_records(records, got);
    return 0;
}

static void start_reader()
{
    static std::once_flag started;
    std::call_once(started, [] {
        HANDLE thread = CreateThread(nullptr, 0, read_console, nullptr, 0, nullptr);
        if (thread)
            CloseHandle(thread);
    });
}

int console_next_key()
{
    start_reader();
    std::lock_guard<std::mutex> held(ring.lock);
    if (ring.count == 0)
        return -1;
    int key = ring.keys[ring.head];
    ring.head = (ring.head + 1) % KEY_CAPACITY;
    --ring.count;
    return key;
}

void console_drop_unread_keys()
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    if (GetConsoleMode(in, &mode))
        FlushConsoleInputBuffer(in);
    std::lock_guard<std::mutex> held(ring.lock);
    ring.count = 0;
    ring.dropping = true;
}

void console_keys_wanted()
{
    std::lock_guard<std::mutex> held(ring.lock);
    ring.dropping = false;
}
