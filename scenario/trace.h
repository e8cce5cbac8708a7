// Port traces: WENA_TRACE=FILE records PDR5, PDR8 and the four A/D results
// as a Value Change Dump that GTKWave or PulseView opens, one sample at each
// poll that finds a value changed, stamped with the program's clock.
#pragma once

// True while a trace is written. Without one, a poll pays for this flag only.
extern bool trace_on;

// Opens the trace named by WENA_TRACE, if any, and writes its header and the
// values at the start. False, with errno set, when the file cannot be
// written. `clock` says in the header which clock stamps the samples.
bool trace_begin(const char *clock);

// At the end of a poll: one sample when a traced value has changed.
void trace_poll();

// At the program's end: stamps the end time, so that a viewer shows how long
// the last values held, and closes the file.
void trace_end();
