// POSIX terminal: raw input mode, output, size, and giving the terminal back
// on every way the process ends or stops.
#include "console/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

static struct termios saved_mode;
static bool have_saved_mode;
static volatile sig_atomic_t resized, resumed, suspend_asked;

// Default colours, visible cursor, autowrap back on, and the cursor below the
// board so that the shell prompt does not overwrite the picture.
static const char give_back_sequence[] = "\x1b[0m\x1b[?25h\x1b[?7h\x1b[25;1H";
// CAN first: a signal may have cut one of our escape sequences in half.
static const char give_back_after_signal[] = "\x18\x1b[0m\x1b[?25h\x1b[?7h\x1b[25;1H";

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

static void enter_raw_mode()
{
    if (!have_saved_mode)
        return;
    struct termios raw = saved_mode;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);  // ISIG stays: Ctrl-C still interrupts
    raw.c_iflag &= ~(tcflag_t)IXON;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
}

// Async-signal-safe: only write(2) and tcsetattr.
static void give_back(const char *sequence, size_t n)
{
    int saved_errno = errno;
    write_all(sequence, n);
    if (have_saved_mode)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    errno = saved_errno;
}

static void give_back_at_exit() { give_back(give_back_sequence, sizeof give_back_sequence - 1); }

static void on_fatal_signal(int sig)
{
    give_back(give_back_after_signal, sizeof give_back_after_signal - 1);
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

void plat_start()
{
    have_saved_mode = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_mode) == 0;
    atexit(give_back_at_exit);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        install(sig, on_fatal_signal);
    install(SIGTSTP, on_suspend);
    install(SIGCONT, on_continue);
    install(SIGWINCH, on_resize);
    enter_raw_mode();
}

void plat_suspend()
{
    give_back_at_exit();
    signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);  // stops here until continued
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

bool plat_truecolor()
{
    const char *choice = getenv("WENA_COLOR");
    if (choice && *choice)
        return strcmp(choice, "16") != 0;
    const char *announced = getenv("COLORTERM");
    return announced && (strcmp(announced, "truecolor") == 0 || strcmp(announced, "24bit") == 0);
}
