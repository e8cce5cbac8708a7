// Writes the trace as the run goes: the header and every sample are written
// whole, each in one write, so a run cut short, even by SIGKILL, leaves a
// file that ends with its last complete sample, and a write that fails (a
// full disk) is cut back to it. Time is in microseconds of the program's clock.
#include "scenario/trace.h"
#include "scenario/scenario.h"

#include "platform/platform.h"

#include <wena.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

enum { TRACED = 6 };

static const char *const traced_names[TRACED] = {"PDR5", "PDR8", "ADDA", "ADDB", "ADDC", "ADDD"};
static const int traced_bits[TRACED] = {8, 8, 10, 10, 10, 10};

bool trace_on;
static FILE *trace_file;
static unsigned last_values[TRACED];  // as last written to the file
static long long last_stamp_us;
static long long whole_end;  // the file's length up to its last whole sample

// The A/D registers hold the 10-bit result times 64.
static void read_values(unsigned *values)
{
    values[0] = PDR5;
    values[1] = PDR8;
    for (int i = 0; i < 4; ++i)
        values[2 + i] = (wena_registers.ad_result[i] >> 6) & 0x3FF;
}

// "b0000000101 #" and so on: the value in binary, then the signal's code.
static char *put_value(char *at, int signal, unsigned value)
{
    *at++ = 'b';
    for (int bit = traced_bits[signal] - 1; bit >= 0; --bit)
        *at++ = (char)('0' + ((value >> bit) & 1));
    *at++ = ' ';
    *at++ = (char)('!' + signal);
    *at++ = '\n';
    return at;
}

static char *put_stamp(char *at, long long us)
{
    at += snprintf(at, 24, "#%lld\n", us);
    return at;
}

// A full disk or a gone reader ends the trace, not the program: what was
// written of the failed sample is cut off, and the run is told.
static void give_up(int error)
{
    plat_cut_stream(trace_file, whole_end);
    fclose(trace_file);
    trace_file = nullptr;
    trace_on = false;
    std::string why = std::string(plat_getenv("WENA_TRACE")) + ": WENA_TRACE cannot be written whole: " + strerror(error);
    if (whole_end > 0)
        why += "; it ends with the sample at " + std::to_string(last_stamp_us) + " us";
    scenario_trace_failed(why);
    errno = error;
}

// One write per sample, so the file never ends inside one.
static bool write_out(const char *bytes, size_t n)
{
    errno = 0;
    if (!plat_write_stream(trace_file, bytes, n)) {
        give_up(errno ? errno : EIO);
        return false;
    }
    whole_end += (long long)n;
    return true;
}

void trace_end()
{
    if (!trace_file)
        return;
    long long now = scenario_clock_us();
    if (now > last_stamp_us) {
        char text[32];
        if (!write_out(text, (size_t)(put_stamp(text, now) - text)))
            return;
    }
    fclose(trace_file);
    trace_file = nullptr;
    trace_on = false;
}

static std::string header(const char *clock)
{
    std::string text = std::string("$version wena port trace $end\n$comment stamped with ") + clock +
                       " $end\n$timescale 1us $end\n$scope module board $end\n";
    for (int i = 0; i < TRACED; ++i) {
        char var[64];
        snprintf(var, sizeof var, "$var wire %d %c %s [%d:0] $end\n", traced_bits[i], '!' + i, traced_names[i],
                 traced_bits[i] - 1);
        text += var;
    }
    return text + "$upscope $end\n$enddefinitions $end\n";
}

// The header and the values at the start, in one write.
static bool write_start(const char *clock)
{
    char text[256], *at = text;
    last_stamp_us = scenario_clock_us();
    at = put_stamp(at, last_stamp_us);
    at += snprintf(at, 16, "$dumpvars\n");
    read_values(last_values);
    for (int i = 0; i < TRACED; ++i)
        at = put_value(at, i, last_values[i]);
    at += snprintf(at, 8, "$end\n");
    std::string start = header(clock) + std::string(text, (size_t)(at - text));
    return write_out(start.data(), start.size());
}

bool trace_begin(const char *clock)
{
    const char *path = plat_getenv("WENA_TRACE");
    if (!path || !*path)
        return true;
    trace_file = plat_open_stream(path);
    if (!trace_file)
        return false;
    // Unbuffered, so that a failed write leaves nothing behind to be written later.
    setvbuf(trace_file, nullptr, _IONBF, 0);
    long long at = ftell(trace_file);
    whole_end = at > 0 ? at : 0;
    trace_on = true;
    return write_start(clock);
}

void trace_poll()
{
    unsigned values[TRACED];
    read_values(values);
    char text[256], *at = text;
    long long stamp = last_stamp_us;
    for (int i = 0; i < TRACED; ++i) {
        if (values[i] == last_values[i])
            continue;
        if (at == text) {
            long long now = scenario_clock_us();
            // Two samples in one microsecond of real time share its stamp.
            if (now > last_stamp_us)
                at = put_stamp(at, now);
            stamp = now > last_stamp_us ? now : last_stamp_us;
        }
        at = put_value(at, i, values[i]);
    }
    if (at == text || !write_out(text, (size_t)(at - text)))
        return;
    last_stamp_us = stamp;
    memcpy(last_values, values, sizeof values);
}
