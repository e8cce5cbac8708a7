// The Windows console read back cell by cell against the screen model, Ctrl-C,
// typed keys and messages; and the Windows file layer and the names it keeps.
#include "console/con.h"
#include "console/cp932.h"
#include "platform/platform.h"
#include "console/screen.h"
#include "console/term.h"
#include "tests/programs/probe_picture.h"
#include "tests/support/board_fixture.h"
#include "tests/support/cp932_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

// The tests' own Sleep takes no time (tests/support/pauses.h); the waits
// here are real.
static void wait_ms(DWORD ms) { SleepEx(ms, FALSE); }

// Ctrl-C from the tests ends no test: this handler, registered before the
// board's own, is called after it and keeps the process alive.
static HANDLE ctrl_c_handled = CreateEvent(nullptr, TRUE, FALSE, nullptr);
static BOOL WINAPI survive_ctrl_c(DWORD)
{
    SetEvent(ctrl_c_handled);
    return TRUE;
}
static const bool survives_ctrl_c = SetConsoleCtrlHandler(survive_ctrl_c, TRUE);

// Key presses put into the console's input; L'\0' is an arrow.
static void type_keys(const std::wstring &keys)
{
    std::vector<INPUT_RECORD> records;
    for (wchar_t c : keys)
        records.push_back({KEY_EVENT, {{TRUE, 1, (WORD)(c ? 0 : VK_UP), 0, {c}, 0}}});
    DWORD written = 0;
    WriteConsoleInputW(GetStdHandle(STD_INPUT_HANDLE), records.data(), (DWORD)records.size(), &written);
}

static DWORD input_events()
{
    DWORD events = 1;
    GetNumberOfConsoleInputEvents(GetStdHandle(STD_INPUT_HANDLE), &events);
    return events;
}

// A console screen buffer of the board's size stands in as standard output,
// one for the whole suite, as a program has one console.
class WindowsConsole : public ::testing::Test {
protected:
    static inline HANDLE buffer = INVALID_HANDLE_VALUE;
    HANDLE saved_output = nullptr;
    CHAR_INFO cells[SCREEN_ROWS][SCREEN_COLS];

    static void SetUpTestSuite()
    {
        buffer = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
        SetConsoleScreenBufferSize(buffer, {SCREEN_COLS, SCREEN_ROWS});
    }
    static void TearDownTestSuite() { CloseHandle(buffer); }

    void SetUp() override
    {
        ASSERT_NE(buffer, INVALID_HANDLE_VALUE) << "no console: run on a terminal (wine) or in a console window";
        saved_output = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, buffer);
        con_use_keyboard(false);
        term_set_sink(nullptr, nullptr);
        plat_start(nullptr);  // anew, should a test have given the console back
    }
    void TearDown() override { SetStdHandle(STD_OUTPUT_HANDLE, saved_output); }

    // The console is read once it has been brought in line with the model.
    CONSOLE_SCREEN_BUFFER_INFO info()
    {
        con_flush();
        CONSOLE_SCREEN_BUFFER_INFO i{};
        GetConsoleScreenBufferInfo(buffer, &i);
        return i;
    }
    std::string cursor_at()
    {
        COORD at = info().dwCursorPosition;
        return std::to_string(at.X) + "," + std::to_string(at.Y);
    }
    bool read_cells()
    {
        SMALL_RECT region = {0, 0, SCREEN_COLS - 1, SCREEN_ROWS - 1};
        return ReadConsoleOutputW(buffer, &cells[0][0], {SCREEN_COLS, SCREEN_ROWS}, {0, 0}, &region);
    }

    // Empty when every cell shows the model's character and attribute (a blank
    // only its background); else the first that differs. A wide character's
    // second cell holds a blank, or the character again where it takes two.
    std::string diff_with_model()
    {
        con_flush();
        if (!read_cells())
            return "the console cannot be read";
        for (int y = 0; y < SCREEN_ROWS; ++y)
            for (int x = 0; x < SCREEN_COLS; ++x) {
                const ScreenCell &model = scr_cell(x, y);
                bool right = model.kind == CELL_WIDE_RIGHT;
                char utf8[CP932_UTF8_MAX];
                int n = cp932_to_utf8((right ? scr_cell(x - 1, y) : model).code, utf8);
                wchar_t wide[4] = {};
                MultiByteToWideChar(CP_UTF8, 0, utf8, n, wide, 4);
                unsigned seen = cells[y][x].Char.UnicodeChar, expected = wide[0], attr = cells[y][x].Attributes & 0xFF;
                unsigned shown_bits = model.kind == CELL_NARROW && model.code == ' ' ? 0xF0 : 0xFF;
                if ((seen != expected && !(right && seen == L' ')) || (attr & shown_bits) != (model.attr & shown_bits)) {
                    char text[96];
                    snprintf(text, sizeof text, "(%d,%d): character U+%04X attribute %u, model U+%04X attribute %u", x,
                             y, seen, attr, expected, (unsigned)model.attr);
                    return text;
                }
            }
        return "";
    }

    // Every cell, its attribute, the cursor and the attribute in force.
    std::string whole_console()
    {
        read_cells();
        std::string text = cursor_at() + " " + std::to_string(info().wAttributes) + "\n";
        for (auto &row : cells)
            for (CHAR_INFO &c : row)
                text += std::to_string(c.Char.UnicodeChar) + ":" + std::to_string(c.Attributes) + " ";
        return text;
    }
};

TEST_F(WindowsConsole, ThePictureInTheConsoleIsTheModelCellByCell)
{
    paint_probe_picture();
    EXPECT_EQ(diff_with_model(), "");
    EXPECT_EQ(info().dwCursorPosition.Y, 24) << "the bottom right cell did not scroll the picture";
    con_goto(2, 1);
    con_set_color(0, 0, 7, 8);
    con_print("%s", cp932("ﾓ").c_str());
    con_goto(4, 0);
    con_print("%s", cp932("→x").c_str());
    EXPECT_EQ(diff_with_model(), "") << "after changes over wide and narrow characters";
}

// wine, drawing on a terminal, loses the background of a light grey blank
// drawn after another foreground on that background: blanks are written in
// the attribute of the text beside them, also once that text changes colour,
// and keep their own on another background.
TEST_F(WindowsConsole, BlanksTakeTheAttributeOfTheTextBesideThemOnTheirBackground)
{
    con_clear();
    con_set_color(7, 0, 6, 0);
    con_goto(10, 3);
    con_print("    ");
    for (int fg : {7 | 8, 0}) {
        con_set_color(fg & 7, fg & 8, 6, 0);
        con_goto(11, 3);
        con_print("B");
        EXPECT_EQ(diff_with_model(), "") << fg;
        for (int x = 10; x < 16; ++x)
            EXPECT_EQ(cells[3][x].Attributes, x < 14 ? 0x60 | fg : 0x07) << fg << " at " << x;
    }
}

// Hiding or showing twice leaves the cursor as once, at its usual size. A
// shown cursor is where the program left it once it polls or pauses.
TEST_F(WindowsConsole, CursorAttributeAndClearFollowTheOperations)
{
    for (int i = 0; i < 4; ++i) {
        i < 2 ? con_cursor_hide() : con_cursor_show();
        con_flush();
        CONSOLE_CURSOR_INFO cursor{};
        GetConsoleCursorInfo(buffer, &cursor);
        EXPECT_EQ(cursor.bVisible != 0, i >= 2) << i;
        EXPECT_EQ(cursor.dwSize, 15u);
    }
    con_goto(12, 7);
    con_print("ab");
    con_goto(12, 7);
    plat_key_waiting();
    EXPECT_EQ(cursor_at(), "12,7") << "at a poll";
    con_goto(3, 4);
    con_sleep_ms(1);
    EXPECT_EQ(cursor_at(), "3,4") << "after a pause";
    con_set_color(7, 8, 4, 8);
    con_print("%s", cp932("ＷＥＮＡ xyz").c_str());
    EXPECT_EQ(diff_with_model(), "") << "in bright white on bright red";
    con_clear();
    EXPECT_EQ(diff_with_model(), "") << "blank light grey on black";
    EXPECT_EQ(info().wAttributes, 0x07);
    EXPECT_EQ(cursor_at(), "0,0");
}

// Ctrl-C is handled on a thread of the system's while the main flow paints
// without pause: once the console is given back, with keys typed and not
// read, not one cell, colour or cursor move may follow, and no key is left
// for the shell. Repeated, with the Ctrl-C at different moments.
TEST_F(WindowsConsole, NothingIsDrawnAndNoKeyIsLeftAfterCtrlCGivesTheConsoleBack)
{
    ASSERT_TRUE(survives_ctrl_c);
    for (int round = 0; round < 40; ++round) {
        plat_start(nullptr);
        WORD found_attr = info().wAttributes;
        std::atomic<bool> stop{false};
        std::thread painter([&stop] {
            for (int i = 0; !stop; ++i) {
                con_goto(i % 20, i % 2);
                con_set_color(i % 8, 0, (i / 8) % 8, 0);
                con_print(i % 3 ? "%c" : "ｽ%c", 'A' + i % 26);
            }
        });
        type_keys(L"qz");
        wait_ms((DWORD)round % 4);
        ResetEvent(ctrl_c_handled);
        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        ASSERT_EQ(WaitForSingleObject(ctrl_c_handled, 5000), WAIT_OBJECT_0) << "no Ctrl-C arrived";
        std::string given_back = whole_console();
        wait_ms(5);
        stop = true;
        painter.join();
        ASSERT_EQ(whole_console(), given_back) << "round " << round << ": drawn after the give-back";
        ASSERT_EQ(given_back.substr(0, given_back.find('\n')), "0,24 " + std::to_string(found_attr)) << round;
        ASSERT_EQ(input_events(), 0u) << round;
        ASSERT_FALSE(plat_key_waiting()) << round;
    }
}

// The window is looked at every 100 ms; a wait of more lets the next call
// see a resize.
static void resize_console(HANDLE buffer, SHORT cols, SHORT rows)
{
    SMALL_RECT window = {0, 0, (SHORT)(cols - 1), (SHORT)(rows - 1)};
    SetConsoleWindowInfo(buffer, TRUE, &window);
    SetConsoleScreenBufferSize(buffer, {cols, rows});
    SetConsoleWindowInfo(buffer, TRUE, &window);
    wait_ms(150);
    con_flush();
}

// As on a POSIX terminal: a window smaller than the board says so over the
// top row, and made large again shows the whole picture without a change
// of the board's.
TEST_F(WindowsConsole, AWindowSmallerThanTheBoardSaysSoAndIsRepaintedWhenLargeAgain)
{
    paint_probe_picture();
    resize_console(buffer, SCREEN_COLS, SCREEN_ROWS);
    ASSERT_EQ(diff_with_model(), "");
    resize_console(buffer, 60, 20);
    ASSERT_EQ(info().dwSize.X, 60) << "the console cannot be made smaller";
    const std::string notice = " wena: the board needs 80x25, the terminal is 60x20 ";
    auto top_row = [&] {
        con_flush();
        wchar_t shown[80] = {};
        WORD attrs[80] = {};
        DWORD got = 0, attrs_got = 0;
        ReadConsoleOutputCharacterW(buffer, shown, (DWORD)notice.size(), {0, 0}, &got);
        ReadConsoleOutputAttribute(buffer, attrs, (DWORD)notice.size(), {0, 0}, &attrs_got);
        std::string text(shown, shown + got);
        for (DWORD x = 0; x < attrs_got; ++x)
            if ((attrs[x] & 0xFF) != 0x4F)
                return text + " with attribute " + std::to_string(attrs[x]) + " at " + std::to_string(x);
        return text;
    };
    EXPECT_EQ(top_row(), notice);
    paint_probe_picture();
    EXPECT_EQ(top_row(), notice) << "after the board was cleared and painted again";
    con_goto(52, 0);  // beside the notice, after blanks it covers
    con_set_color(7, 0, 4, 0);
    con_print(" ");
    EXPECT_EQ(top_row(), notice) << "after a change beside it";
    resize_console(buffer, SCREEN_COLS, SCREEN_ROWS);
    EXPECT_EQ(diff_with_model(), "");
}

// A paste of 1000 keys leaves 256 to act on, as a PC keyboard buffer does;
// a key without a character (an arrow) is dropped; a character beyond ASCII
// (full-width from the IME, accented, katakana, beyond the BMP) is one key
// that no board takes, the first byte of its UTF-8 form as on POSIX, never
// its code page 932 bytes ("２" is 0x82 0x51, the second a Q).
TEST_F(WindowsConsole, TypedKeysAreBoundedAt256AndCharactersBeyondAsciiAreOneKeyEach)
{
    while (plat_key_waiting())  // also puts the keyboard in use
        plat_read_key();
    type_keys(std::wstring(L"x\0\uFF10\uFF17\uFF12\u30CA\u00ED\u00CC\u30D0\u00F2\u30B7\u30D2\uFF29\uFF71"
                           L"\U0001F600", 16) + std::wstring(1000, L'k'));
    for (int waited = 0; waited < 10000 && input_events() > 0; ++waited)
        wait_ms(1);
    // The reader thread's last batch, read from the console, is in the
    // buffer once the thread runs again: under load that may take a while.
    wait_ms(300);
    std::string keys;
    while (plat_key_waiting())
        keys += (char)plat_read_key();
    EXPECT_EQ(keys, "x\xEF\xEF\xEF\xE3\xC3\xC3\xE3\xC3\xE3\xE3\xEF\xEF\xF0" + std::string(242, 'k'));
}

// Pauses in a row last together as long as asked: what one overran is
// taken from the next, and what one fell short by is added to it. Only the
// lower bound: a loaded machine may make them longer, never shorter.
TEST(WindowsPauses, PausesInARowLastAtLeastTheirSum)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < 200; ++i)
        plat_sleep_ms(5);
    QueryPerformanceCounter(&end);
    double ms = (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
    EXPECT_GE(ms, 990.0);
}

TEST_F(WindowsConsole, MessagesReachTheConsoleAsTheirCharactersAndAFileAsUtf8)
{
    HANDLE saved_error = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, buffer);
    con_clear();
    plat_write_message(utf8(u8"check lcd 0 == \"ｽﾀｰﾄ\" 結果").c_str());
    COORD at = info().dwCursorPosition;
    wchar_t shown[SCREEN_COLS] = {};
    DWORD got = 0;
    ReadConsoleOutputCharacterW(buffer, shown, (DWORD)at.X, {0, at.Y}, &got);
    EXPECT_EQ(std::wstring(shown, got), L"check lcd 0 == \"\uFF7D\uFF80\uFF70\uFF84\" \u7D50\u679C");
    HANDLE file = CreateFileW(L"message.txt", GENERIC_WRITE | GENERIC_READ, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, file);
    plat_write_message(utf8(u8"ｽﾀｰﾄ 結果\n").c_str());
    SetStdHandle(STD_ERROR_HANDLE, saved_error);
    char bytes[64] = {};
    DWORD n = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ReadFile(file, bytes, sizeof bytes, &n, nullptr);
    CloseHandle(file);
    EXPECT_EQ(std::string(bytes, n), utf8(u8"ｽﾀｰﾄ 結果\n"));
}

TEST_F(BoardTest, TheWindowsFileLayerReplacesWholeFilesAndRefusesOddTargets)
{
    write_settings("2,13,0 and an old tail that must go");
    press("IOV");
    EXPECT_EQ(read_settings(), "3,14,21");
    auto regular = [](const std::filesystem::directory_entry &e) { return e.is_regular_file(); };
    EXPECT_EQ(std::count_if(std::filesystem::directory_iterator("."), {}, regular), 1);
    write("kept.txt", "old");
    SetFileAttributesA("kept.txt", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(plat_replace_file("kept.txt", "new", 3, false));
    EXPECT_EQ(errno, EACCES);
    SetFileAttributesA("kept.txt", FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(read("kept.txt"), "old");
    std::filesystem::create_directory("folder");
    EXPECT_FALSE(plat_replace_file("folder", "new", 3, false));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_TRUE(plat_replace_file("NUL", "new", 3, false)) << "a device is written in place";
    char head[8];
    EXPECT_EQ(plat_read_head("folder", head, sizeof head), -1);
    EXPECT_EQ(plat_read_head("missing", head, sizeof head), -1);
    EXPECT_EQ(errno, ENOENT);
    std::string text, why;
    EXPECT_FALSE(plat_read_whole("folder", 100, text, why));
    EXPECT_EQ(why, "it is a directory");
}

// The system's code page under wine (and on many a Windows) lacks these
// characters: a narrow API would make question marks or mojibake of them.
TEST_F(BoardTest, NamesFromScenariosAndTheEnvironmentKeepTheirCharacters)
{
    std::string name = utf8(u8"結果ｽ.txt"), trace = utf8(u8"記録.vcd");
    ASSERT_TRUE(plat_replace_file(name.c_str(), "dump", 4, false)) << strerror(errno);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(u8"結果ｽ.txt")));
    std::string text, why;
    EXPECT_TRUE(plat_read_whole(name.c_str(), 100, text, why)) << why;
    EXPECT_EQ(text, "dump");
    FILE *stream = plat_open_stream(trace.c_str());
    ASSERT_NE(stream, nullptr);
    fclose(stream);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(u8"記録.vcd")));
    EXPECT_FALSE(plat_replace_file("bad\xE7\xB5.txt", "x", 1, false)) << "no UTF-8: another name";
    EXPECT_EQ(errno, EILSEQ);
    SetEnvironmentVariableW(L"WENA_TEST_NAME", L"\u30C6\u30B9\u30C8\\run.scn");
    EXPECT_STREQ(plat_getenv("WENA_TEST_NAME"), utf8(u8"テスト\\run.scn").c_str());
    SetEnvironmentVariableW(L"WENA_TEST_NAME", nullptr);
    EXPECT_EQ(plat_getenv("WENA_TEST_NAME"), nullptr);
}
