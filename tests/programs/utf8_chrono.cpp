// A C++ board program in UTF-8, as any compiler builds it by default:
// <chrono> compiles, and an "é" the LCD has no code for shows as its two
// bytes, each the LCD character of that code.
#include <wena.h>

#include <chrono>

int main()
{
    sim_poll();
    std::chrono::milliseconds pause(500);
    lcd_puts("Café ｽﾀｰﾄ");
    lcd_goto(0, 1);
    lcd_puts(std::chrono::duration_cast<std::chrono::microseconds>(pause).count() == 500000 ? "500000 µs" : "?");
    Sleep((unsigned)pause.count());
    return 0;
}
