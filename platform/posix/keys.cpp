// POSIX key source: bytes from standard input, a terminal in raw mode or a
// pipe or file. From a terminal, escape sequences of non-character keys are
// dropped whole as they arrive, so that an arrow key never acts as the letter
// it ends with; bytes that arrive far apart are separate keys, in a pause as
// at a poll. A pipe or file carries no typing times, so there every byte is
// a key of its own, Escape too.
//
// A terminal is read dry at every poll, during every pause and every few
// milliseconds of painting: keys beyond the keyboard buffer are dropped, as a
// full keyboard buffer drops them, so that a huge paste never fills the
// terminal's own queue, where it would hold back the Ctrl-C typed after it.
// A pipe or file is read only as keys are taken, and nothing of it is lost.
#include "platform/posix/keyboard.h"

#include "platform/key_chars.h"
#include "platform/platform.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <unistd.h>

enum {
    ESC = 0x1B,
    KEY_CAPACITY = 256,
    READ_CHUNK = 4096,
    READS_PER_DRAIN = 64,  // bounds one poll's work against an endless writer
    // A lone Escape is told from the start of a key's sequence by the time
    // that passes without the rest: terminals send a sequence in one piece.
    SEQUENCE_WAIT_MS = 30,
    KEEP_FLOWING_MS = 10
};

// Where a sequence that began with ESC stands.
enum { SEQ_NONE, SEQ_ESC, SEQ_SS3, SEQ_CSI };

namespace {

struct KeySource {
    unsigned char keys[KEY_CAPACITY];  // ring of keys ready to be read
    size_t head, count;
    int sequence;                      // SEQ_*: bytes of a sequence still coming
    long long sequence_started_ms;
    bool ended;                        // end of input: nothing more ever comes
    int terminal;                      // -1 until known
    long long next_keep_up_ms;         // when painting next reads the terminal
    KeyChars chars;                    // where a character beyond ASCII stands
};

}  // namespace

static KeySource source = {{}, 0, 0, SEQ_NONE, 0, false, -1, 0, {}};

static long long monotonic_ms()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

static bool from_terminal()
{
    if (source.terminal < 0)
        source.terminal = isatty(STDIN_FILENO) ? 1 : 0;
    return source.terminal == 1;
}

static void push_key(unsigned char key)
{
    if (source.count == KEY_CAPACITY)
        return;
    source.keys[(source.head + source.count) % KEY_CAPACITY] = key;
    ++source.count;
}

static bool is_csi_final(unsigned char b) { return b >= 0x40 && b <= 0x7E; }
static bool is_csi_inner(unsigned char b) { return b >= 0x20 && b <= 0x3F; }

// A sequence that stopped halfway: a lone ESC is a key, the rest is dropped.
static void settle_sequence()
{
    if (source.sequence == SEQ_ESC)
        push_key(ESC);
    source.sequence = SEQ_NONE;
}

// Terminals send a key's sequence in one piece: one that has waited this long
// for its next byte was a lone Escape or a broken sequence.
static void settle_stale_sequence(long long now_ms)
{
    if (source.sequence != SEQ_NONE && now_ms - source.sequence_started_ms >= SEQUENCE_WAIT_MS)
        settle_sequence();
}

// One byte from a terminal: a key, or part of a sequence that is dropped whole.
static void take_byte(unsigned char b)
{
    switch (source.sequence) {
    case SEQ_ESC:
        if (b == '[' || b == 'O') {
            source.sequence = b == '[' ? SEQ_CSI : SEQ_SS3;
            return;
        }
        push_key(ESC);  // ESC and another key: both are keys
        source.sequence = SEQ_NONE;
        break;
    case SEQ_SS3:
        source.sequence = SEQ_NONE;
        return;
    case SEQ_CSI:
        if (is_csi_inner(b))
            return;
        source.sequence = SEQ_NONE;
        if (is_csi_final(b))
            return;
        break;  // a broken sequence ends before the stray byte
    }
    if (b == ESC) {
        source.sequence = SEQ_ESC;
        source.sequence_started_ms = monotonic_ms();
    } else if (key_chars_take(source.chars, b)) {
        push_key(b);
    }
}

// One read of at most `room` bytes; false when nothing more is there now.
static bool read_some(size_t room)
{
    unsigned char chunk[READ_CHUNK];
    if (room > sizeof chunk)
        room = sizeof chunk;
    ssize_t n = read(STDIN_FILENO, chunk, room);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return false;
    if (n <= 0) {
        source.ended = true;
        settle_sequence();
        return false;
    }
    if (!from_terminal()) {
        for (ssize_t i = 0; i < n; ++i)
            if (key_chars_take(source.chars, chunk[i]))
                push_key(chunk[i]);
        return true;
    }
    settle_stale_sequence(monotonic_ms());
    for (ssize_t i = 0; i < n; ++i)
        take_byte(chunk[i]);
    return true;
}

static bool input_ready()
{
    struct pollfd in = {STDIN_FILENO, POLLIN, 0};
    if (poll(&in, 1, 0) <= 0)
        return false;
    if (in.revents & POLLNVAL) {
        source.ended = true;
        settle_sequence();
        return false;
    }
    return true;
}

void keyboard_drain()
{
    if (source.ended)
        return;
    if (from_terminal()) {
        for (int i = 0; i < READS_PER_DRAIN && input_ready() && read_some(READ_CHUNK); ++i) {
        }
    } else if (source.count == 0 && input_ready()) {
        // Never more keys than bytes, so nothing read is dropped.
        read_some(KEY_CAPACITY);
    }
}

void keyboard_forget() { source = KeySource{{}, 0, 0, SEQ_NONE, 0, false, -1, 0, {}}; }

int keyboard_wait_fd() { return !source.ended && from_terminal() ? STDIN_FILENO : -1; }

void plat_keep_keys_flowing()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);  // cheap enough for every console call
    long long now_ms = now.tv_sec * 1000LL + now.tv_nsec / 1000000;
    if (now_ms < source.next_keep_up_ms || !from_terminal())
        return;
    source.next_keep_up_ms = now_ms + KEEP_FLOWING_MS;
    keyboard_drain();
}

bool plat_key_waiting()
{
    keyboard_drain();
    if (source.count == 0)
        settle_stale_sequence(monotonic_ms());
    return source.count > 0;
}

int plat_peek_key() { return source.count > 0 ? (signed char)source.keys[source.head] : 0; }

int plat_read_key()
{
    if (!plat_key_waiting())
        return 0;
    signed char key = (signed char)source.keys[source.head];
    source.head = (source.head + 1) % KEY_CAPACITY;
    --source.count;
    return key;
}
