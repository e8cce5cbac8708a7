#include "tests/support/pauses.h"

#include "tests/support/capture.h"

#include <wena.h>

static std::string trace;
static unsigned long long total_ms;

static bool falling_item_at(int x, int y)
{
    std::string cell = screen_text(x, y, 1);
    return cell == utf8(u8"●") || cell == utf8(u8"■");
}

extern "C" void Sleep(unsigned int ms)
{
    total_ms += ms;
    std::string frame;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x)
            if (falling_item_at(x, y))
                frame += (frame.empty() ? "" : "+") + std::to_string(x) + "," + std::to_string(y);
    trace += (trace.empty() ? "" : " ") + (frame.empty() ? std::string("-") : frame);
}

const std::string &pause_trace() { return trace; }

unsigned long long paused_ms() { return total_ms; }

void pauses_reset()
{
    trace.clear();
    total_ms = 0;
}
