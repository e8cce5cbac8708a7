// POSIX key source: bytes from standard input, a terminal in raw mode or a
// pipe or file. Escape sequences of non-character keys are dropped whole, so
// that an arrow key never acts as the letter its sequence ends with.
#include "console/platform.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

enum { ESC = 0x1B, INPUT_CAPACITY = 256, SEQUENCE_WAIT_MS = 30 };

static unsigned char input[INPUT_CAPACITY];
static size_t input_head, input_len;
static bool input_ended;

// Reads what is waiting, or what arrives within timeout_ms; false if nothing came.
static bool fill(int timeout_ms)
{
    if (input_ended)
        return false;
    if (input_head > 0) {
        memmove(input, input + input_head, input_len);
        input_head = 0;
    }
    if (input_len == INPUT_CAPACITY)
        return false;
    struct pollfd source = {STDIN_FILENO, POLLIN, 0};
    if (poll(&source, 1, timeout_ms) <= 0)
        return false;
    if (source.revents & POLLNVAL) {
        input_ended = true;
        return false;
    }
    ssize_t n = read(STDIN_FILENO, input + input_len, INPUT_CAPACITY - input_len);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return false;
    if (n <= 0) {
        input_ended = true;  // end of input: no key is ever waiting again
        return false;
    }
    input_len += (size_t)n;
    return true;
}

static bool is_csi_final(unsigned char b) { return b >= 0x40 && b <= 0x7E; }
static bool is_csi_inner(unsigned char b) { return b >= 0x20 && b <= 0x3F; }

enum { INCOMPLETE = -1 };

// Length of the escape sequence at the head, 1 for an ESC that starts none,
// INCOMPLETE when more bytes are needed to tell.
static int escape_length()
{
    const unsigned char *s = input + input_head;
    size_t n = input_len;
    if (n < 2)
        return INCOMPLETE;
    if (s[1] == 'O')
        return n >= 3 ? 3 : INCOMPLETE;
    if (s[1] != '[')
        return 1;
    for (size_t i = 2; i < n; ++i) {
        if (is_csi_final(s[i]))
            return (int)i + 1;
        if (!is_csi_inner(s[i]))
            return (int)i;  // a broken sequence ends before the stray byte
    }
    return INCOMPLETE;
}

static void drop(size_t n)
{
    input_head += n;
    input_len -= n;
}

bool plat_key_waiting()
{
    for (;;) {
        if (input_len == 0 && !fill(0))
            return false;
        if (input[input_head] != ESC)
            return true;
        int n = escape_length();
        if (n == INCOMPLETE) {
            if (fill(SEQUENCE_WAIT_MS))
                continue;
            n = input_len == 1 ? 1 : (int)input_len;  // a lone ESC is a key of its own
        }
        if (n == 1)
            return true;
        drop((size_t)n);
    }
}

int plat_read_key()
{
    if (!plat_key_waiting())
        return 0;
    signed char key = (signed char)input[input_head];
    drop(1);
    return key;
}
