// Writes the trace as the run goes: the header and every sample are flushed
// whole, so a run cut short, even by SIGKILL, leaves a file that ends with
// its last complete sample. Time is in microseconds of the program's clock.
#include "scenario/trace.h"
#include "scenario/scenario.h"

#include "console/platform.h"

#include <wena.h>

#include <cstdio>
#include <cstdlib>

enum { TRACED = 6 };

static const char *const traced_names[TRACED] = {"PDR5", "PDR8", "ADDA", "ADDB", "ADDC", "ADDD"};
static const int traced_bits[TRACED] = {8, 8, 10, 10, 10, 10};

bool trace_on;
static FILE *trace_file;
static unsigned last_values[TRACED];  // as last written to the file
static long long last_stamp_us;

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

// One write per sample, so the file never ends inside one.
static void write_out(const char *bytes, size_t n)
{
    if (!plat_write_stream(trace_file, bytes, n)) {
        // A full disk or a gone reader ends the trace, not the program.
        fclose(trace_file);
        trace_file = nullptr;
        trace_on = false;
    }
}

void trace_end()
{
    if (!trace_file)
        return;
    long long now = scenario_clock_us();
    if (now > last_stamp_us) {
        char text[32];
        write_out(text, (size_t)(put_stamp(text, now) - text));
    }
    if (trace_file)
        fclose(trace_file);
    trace_file = nullptr;
    trace_on = false;
}

static void write_header(const char *clock)
{
    fprintf(trace_file,
            "$version wena port trace $end\n"
            "$comment stamped with %s $end\n"
            "$timescale 1us $end\n"
            "$scope module board $end\n",
            clock);
    for (int i = 0; i < TRACED; ++i)
        fprintf(trace_file, "$var wire %d %c %s [%d:0] $end\n", traced_bits[i], '!' + i, traced_names[i],
                traced_bits[i] - 1);
    fprintf(trace_file, "$upscope $end\n$enddefinitions $end\n");
    char text[256], *at = text;
    last_stamp_us = scenario_clock_us();
    at = put_stamp(at, last_stamp_us);
    at += snprintf(at, 16, "$dumpvars\n");
    read_values(last_values);
    for (int i = 0; i < TRACED; ++i)
        at = put_value(at, i, last_values[i]);
    at += snprintf(at, 8, "$end\n");
    write_out(text, (size_t)(at - text));
}

bool trace_begin(const char *clock)
{
    const char *path = plat_getenv("WENA_TRACE");
    if (!path || !*path)
        return true;
    trace_file = plat_open_stream(path);
    if (!trace_file)
        return false;
    trace_on = true;
    write_header(clock);
    return true;
}

void trace_poll()
{
    unsigned values[TRACED];
    read_values(values);
    char text[256], *at = text;
    for (int i = 0; i < TRACED; ++i) {
        if (values[i] == last_values[i])
            continue;
        if (at == text) {
            long long now = scenario_clock_us();
            // Two samples in one microsecond of real time share its stamp.
            if (now > last_stamp_us)
                at = put_stamp(at, now);
            last_stamp_us = now > last_stamp_us ? now : last_stamp_us;
        }
        at = put_value(at, i, values[i]);
        last_values[i] = values[i];
    }
    if (at != text)
        write_out(text, (size_t)(at - text));
}
