// Console calls the Windows build makes: per poll that finds no key (goal
// 0) and per rewrite of 20 LCD characters that changes none (goal 0), with
// the LCD cursor off and on, and a changing rewrite beside them. Every console function the program
// imports is counted where it is imported (its import address table), so
// the count covers every caller. Draws on the console it was started on.
#include "bench/on_terminal.h"

#include "board/sim_state.h"

#include <cstdio>
#include <cstring>

static unsigned long long calls;

template <int Tag, typename R, typename... A>
struct Counted {
    static inline R(WINAPI *original)(A...);
    static R WINAPI call(A... args)
    {
        ++calls;
        return original(args...);
    }
};

// The slot of the executable's import table through which `name` is called.
static void **import_slot(const char *name)
{
    auto *base = reinterpret_cast<BYTE *>(GetModuleHandleW(nullptr));
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto *library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
    for (; library->Name; ++library) {
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + library->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto *by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(by_name->Name), name) == 0)
                return reinterpret_cast<void **>(&slots->u1.Function);
        }
    }
    return nullptr;
}

template <int Tag, typename R, typename... A>
static void count(const char *name, R(WINAPI *)(A...))
{
    void **slot = import_slot(name);
    if (!slot)
        return;  // not called by this program at all
    using Hook = Counted<Tag, R, A...>;
    memcpy(&Hook::original, slot, sizeof *slot);
    auto replacement = &Hook::call;
    DWORD was;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was);
    memcpy(slot, &replacement, sizeof *slot);
    VirtualProtect(slot, sizeof *slot, was, &was);
}

#define COUNT(function) count<__COUNTER__>(#function, &function)

static void count_console_calls()
{
    COUNT(GetConsoleScreenBufferInfo);
    COUNT(SetConsoleCursorPosition);
    COUNT(SetConsoleTextAttribute);
    COUNT(SetConsoleCursorInfo);
    COUNT(GetConsoleCursorInfo);
    COUNT(WriteConsoleW);
    COUNT(WriteFile);
    COUNT(FillConsoleOutputCharacterA);
    COUNT(FillConsoleOutputAttribute);
    COUNT(GetConsoleMode);
    COUNT(SetConsoleMode);
    COUNT(ReadConsoleInputW);
    COUNT(PeekConsoleInputW);
    COUNT(GetNumberOfConsoleInputEvents);
    COUNT(FlushConsoleInputBuffer);
    COUNT(WaitForSingleObject);
}

static void write_lcd(const char *line0, const char *line1)
{
    lcd_goto(0, 0);
    lcd_puts(line0);
    lcd_goto(0, 1);
    lcd_puts(line1);
}

constexpr int ROUNDS = 1000;

// Each rewrite followed by a poll, as a program's loop does.
static double unchanged_rewrites()
{
    calls = 0;
    for (int i = 0; i < ROUNDS; ++i) {
        write_lcd("0123456789ABCDEF", "WXYZ");
        sim_poll();
    }
    return (double)calls / ROUNDS;
}

int main()
{
    if (!draw_on_the_terminal()) {
        fprintf(stderr, "console calls: no console to draw on\n");
        return 2;
    }
    ScratchDir scratch("wena-console-calls");
    count_console_calls();
    lcd_cursor_off();
    write_lcd("0123456789ABCDEF", "WXYZ");
    sim_poll();

    calls = 0;
    for (int i = 0; i < ROUNDS; ++i)
        sim_poll();
    double per_poll = (double)calls / ROUNDS;
    double per_unchanged = unchanged_rewrites();
    lcd_cursor_on();
    sim_poll();
    double per_unchanged_with_cursor = unchanged_rewrites();
    lcd_cursor_off();
    calls = 0;
    for (int i = 0; i < ROUNDS; ++i) {
        write_lcd(i % 2 ? "0123456789ABCDEF" : "FEDCBA9876543210", i % 2 ? "WXYZ" : "ZYXW");
        sim_poll();
    }
    double per_changed = (double)calls / ROUNDS;

    fprintf(stderr, "console calls per key-free poll: %.2f (goal 0)\n", per_poll);
    fprintf(stderr, "console calls per unchanged rewrite of 20 LCD characters and poll: %.2f (goal 0), %.2f with the LCD cursor on\n",
            per_unchanged, per_unchanged_with_cursor);
    fprintf(stderr, "console calls per rewrite of 20 LCD characters that changes them all, and poll: %.2f\n", per_changed);
    return 0;
}
