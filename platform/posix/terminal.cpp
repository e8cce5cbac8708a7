// POSIX terminal: raw input mode, output, size, and giving the terminal back
// on every way the process ends or stops.
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

enum {
    // Keys still arriving at exit are read and dropped until the terminal
    // has been quiet this long, or for at most the second bound.
    QUIET_AT_EXIT_MS = 50,
    DISCARD_AT_EXIT_MAX_MS = 500
};

static struct termios saved_mode;
static bool have_saved_mode;
static volatile sig_atomic_t resized, resumed, suspend_asked;
static volatile sig_atomic_t cursor_shape_changed;

// Default colours, visible cursor, autowrap back on, and the cursor below the
// board so that the shell prompt does not overwrite the picture.
static const char give_back_sequence[] = "\x1b[0m\x1b[?25h\x1b[?7h\x1b[25;1H\x1b[J";
// CAN first: a signal may have cut one of our escape sequences in half.
static const char give_back_after_signal[] = "\x18\x1b[0m\x1b[?25h\x1b[?7h\x1b[25;1H\x1b[J";

// The thin cursor and the default shape, as the terminal named by TERM
// takes them: the Linux console has its own sequence for the shape.
static const char *thin_cursor = "\x1b[3 q";
static const char *default_cursor = "\x1b[0 q";

// A message about the environment that the picture would cover; it is
// written once the terminal has been given back.
static char deferred_message[256];
static volatile sig_atomic_t message_pending;

// A descriptor the program was started without would be taken by the next
// file opened (a recording would swallow the picture): /dev/null holds its
// place before anything else runs.
__attribute__((constructor)) static void hold_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);  // the lowest free descriptor: fd
}

static void write_all(const char *bytes, size_t n)
{
    while (n > 0) {
        ssize_t done = write(STDOUT_FILENO, bytes, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return;
        bytes += done;
        n -= (size_t)done;
    }
}

void plat_write(const char *bytes, size_t n) { write_all(bytes, n); }

// Job control signals reach the watch's thread too, which blocks every
// other signal: a stop must stop it, and a change of mode made from the
// background must stop the process (SIGTTOU) rather than go through.
static void with_job_control_signals(void (*action)())
{
    sigset_t job, old;
    sigemptyset(&job);
    sigaddset(&job, SIGTSTP);
    sigaddset(&job, SIGTTOU);
    pthread_sigmask(SIG_UNBLOCK, &job, &old);
    action();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

static void set_raw_mode()
{
    struct termios raw = saved_mode;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);  // ISIG stays: Ctrl-C still interrupts
    raw.c_iflag &= ~(tcflag_t)IXON;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
}

static void enter_raw_mode()
{
    if (have_saved_mode)
        with_job_control_signals(set_raw_mode);
}

static long long monotonic_ms()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// Keys the program did not read, including the rest of a paste that the
// terminal is still sending, would otherwise run as shell commands.
static void discard_typed_ahead()
{
    char dropped[4096];
    struct pollfd in = {STDIN_FILENO, POLLIN, 0};
    long long until = monotonic_ms() + DISCARD_AT_EXIT_MAX_MS;
    while (monotonic_ms() < until && poll(&in, 1, QUIET_AT_EXIT_MS) > 0 && (in.revents & POLLIN) &&
           read(STDIN_FILENO, dropped, sizeof dropped) > 0) {
    }
}

// Async-signal-safe: only write(2), poll, read, clock_gettime, tcflush and
// tcsetattr.
// `at_end` also drops the keys nobody read.
static void give_back(const char *sequence, size_t n, bool at_end)
{
    int saved_errno = errno;
    // First, so that the shell's prompt shows only once keys are its own.
    if (have_saved_mode && at_end)
        discard_typed_ahead();
    write_all(sequence, n);
    if (cursor_shape_changed)
        write_all(default_cursor, strlen(default_cursor));
    if (have_saved_mode && at_end)
        tcflush(STDIN_FILENO, TCIFLUSH);  // not TCSAFLUSH: that would wait for a stalled reader of the output
    if (have_saved_mode)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    if (message_pending) {
        message_pending = 0;
        if (write(STDERR_FILENO, deferred_message, strlen(deferred_message)) < 0) {
        }
    }
    errno = saved_errno;
}

static void give_back_at_exit() { give_back(give_back_sequence, sizeof give_back_sequence - 1, true); }

void plat_give_back() { give_back_at_exit(); }

static void (*send_waiting_change)();

static void on_fatal_signal(int sig)
{
    if (send_waiting_change)
        send_waiting_change();
    give_back(give_back_after_signal, sizeof give_back_after_signal - 1, true);
    signal(sig, SIG_DFL);
    raise(sig);
}

static void on_suspend(int) { suspend_asked = 1; }

static void on_continue(int) { resumed = 1; }

static void on_resize(int) { resized = 1; }

// A handler the process inherited as "ignore", or one installed by someone
// else (a sanitizer, a debugger aid), is left alone.
static void install(int sig, void (*handler)(int))
{
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)
        return;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
}

void plat_start(void (*send_waiting)())
{
    send_waiting_change = send_waiting;
    have_saved_mode = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_mode) == 0;
    atexit(give_back_at_exit);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        install(sig, on_fatal_signal);
    install(SIGTSTP, on_suspend);
    install(SIGCONT, on_continue);
    install(SIGWINCH, on_resize);
    enter_raw_mode();
}

void plat_suspend()
{
    give_back(give_back_sequence, sizeof give_back_sequence - 1, false);
    signal(SIGTSTP, SIG_DFL);
    with_job_control_signals([] { raise(SIGTSTP); });  // stops here until continued
    struct sigaction again {};
    again.sa_handler = on_suspend;
    sigemptyset(&again.sa_mask);
    again.sa_flags = SA_RESTART;
    sigaction(SIGTSTP, &again, nullptr);
}

void plat_retake() { enter_raw_mode(); }

int plat_take_events()
{
    int events = 0;
    if (resized) {
        resized = 0;
        events |= PLAT_RESIZED;
    }
    if (resumed) {
        resumed = 0;
        events |= PLAT_RESUMED;
    }
    if (suspend_asked) {
        suspend_asked = 0;
        events |= PLAT_SUSPEND;
    }
    return events;
}

bool plat_term_size(int *cols, int *rows)
{
    struct winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
        return false;
    *cols = size.ws_col;
    *rows = size.ws_row;
    return true;
}

// Shown at once, unless the picture is about to cover it.
void plat_report(const char *message)
{
    if (isatty(STDOUT_FILENO) && isatty(STDERR_FILENO)) {
        snprintf(deferred_message, sizeof deferred_message, "%s\n", message);
        message_pending = 1;
    } else {
        fprintf(stderr, "%s\n", message);
    }
}

const char *plat_thin_cursor()
{
    const char *term = getenv("TERM");
    if (term && strcmp(term, "linux") == 0) {
        thin_cursor = "\x1b[?2c";
        default_cursor = "\x1b[?0c";
    }
    cursor_shape_changed = 1;
    return thin_cursor;
}
