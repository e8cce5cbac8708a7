// Pictures of the screen model written to files: what every cell shows and
// in which colours. The cursor is not drawn.
#include "scenario/dump.h"

#include "console/cp932.h"
#include "platform/platform.h"
#include "console/screen.h"
#include "lcd/lcd.h"

#include <cstring>
#include <string>

static const char *const palette[16] = {
    "#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808000", "#C0C0C0",
    "#808080", "#0000FF", "#00FF00", "#00FFFF", "#FF0000", "#FF00FF", "#FFFF00", "#FFFFFF",
};

static bool write_file(const char *path, const std::string &text)
{
    return plat_replace_file(path, text.data(), text.size(), false);
}

// The second column of a wide character adds nothing: its glyph came with the first.
static std::string cells_text(int x, int y, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        char text[8];
        out.append(text, (size_t)scr_cell_text(x + i, y, text));
    }
    return out;
}

// A row as an editor or a terminal shows it column for column: a double-byte
// character that many draw one column wide ("→", "↑") is followed by a blank.
static std::string row_in_columns(int y)
{
    std::string out;
    for (int x = 0; x < SCREEN_COLS; ++x) {
        char text[8];
        out.append(text, (size_t)scr_cell_text(x, y, text));
        const ScreenCell &c = scr_cell(x, y);
        if (c.kind == CELL_WIDE_LEFT && !cp932_wide_everywhere(c.code))
            out += ' ';
    }
    return out;
}

bool dump_text(const char *path)
{
    std::string text;
    for (int y = 0; y < SCREEN_ROWS; ++y)
        text += row_in_columns(y) + "\n";
    return write_file(path, text);
}

static void append_escaped(std::string &out, const std::string &text)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
}

static std::string hex_digit(int value) { return std::string(1, "0123456789abcdef"[value & 15]); }

std::string dump_html_screen_style()
{
    std::string style =
        ".screen{font:16px/20px \"MS Gothic\",\"Osaka-Mono\",\"Noto Sans Mono CJK JP\",monospace;"
        "width:80ch}\n"
        ".screen div{height:20px;overflow:hidden}\n"
        ".screen span{display:inline-block;height:20px;vertical-align:top;overflow:hidden;"
        "text-align:center;white-space:pre}\n";
    for (int i = 0; i < 16; ++i)
        style += ".f" + hex_digit(i) + "{color:" + palette[i] + "}\n";
    for (int i = 0; i < 16; ++i)
        style += ".b" + hex_digit(i) + "{background:" + palette[i] + "}\n";
    return style;
}

static std::string html_head()
{
    return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>wena screen</title>\n<style>\n"
           "body{background:#000000;margin:8px}\n" +
           dump_html_screen_style() + "</style>\n</head>\n<body>\n<div class=\"screen\">\n";
}

static void append_span(std::string &out, uint8_t attr, int columns, const std::string &text)
{
    out += "<span class=\"f" + hex_digit(attr) + " b" + hex_digit(attr >> 4) + "\" style=\"width:" +
           std::to_string(columns) + "ch\">";
    append_escaped(out, text);
    out += "</span>";
}

// Cells from x on that can share one span with x: narrow, in x's attribute.
static int narrow_run(const ScreenCell *row, int x)
{
    uint8_t attr = row[x].attr;
    int end = x + 1;
    while (end < SCREEN_COLS && row[end].kind != CELL_WIDE_LEFT && row[end].attr == attr)
        ++end;
    return end - x;
}

static std::string row_text(const ScreenCell *row, int x, int count)
{
    std::string out;
    for (int i = x; i < x + count; ++i) {
        char text[CP932_UTF8_MAX];
        if (row[i].kind != CELL_WIDE_RIGHT)
            out.append(text, (size_t)cp932_to_utf8(row[i].code, text));
    }
    return out;
}

// Spans are fixed widths, so a glyph the font draws wider or narrower than
// its cells cannot move anything after its span.
static std::string html_row(const ScreenCell *row)
{
    std::string out = "<div>";
    for (int x = 0; x < SCREEN_COLS;) {
        int columns = row[x].kind == CELL_WIDE_LEFT && x + 1 < SCREEN_COLS ? 2 : narrow_run(row, x);
        append_span(out, row[x].attr, columns, row_text(row, x, columns));
        x += columns;
    }
    return out + "</div>\n";
}

std::string dump_html_page_of(const ScreenCell (&cells)[SCREEN_ROWS][SCREEN_COLS])
{
    std::string page = html_head();
    for (int y = 0; y < SCREEN_ROWS; ++y)
        page += html_row(cells[y]);
    return page + "</div>\n</body>\n</html>\n";
}

std::string dump_html_page() { return dump_html_page_of(screen.cell); }

bool dump_html(const char *path) { return write_file(path, dump_html_page()); }

bool dump_lcd(const char *path)
{
    std::string text;
    for (int r = 0; r < LCD_ROWS; ++r)
        text += cells_text(LCD_X, LCD_Y + r, LCD_COLS) + "\n";
    return write_file(path, text);
}

int dump_lcd_line(int line, char out[LCD_LINE_UTF8_MAX])
{
    std::string text;
    if (line >= 0 && line < LCD_ROWS)
        text = cells_text(LCD_X, LCD_Y + line, LCD_COLS);
    size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    memcpy(out, text.c_str(), text.size() + 1);
    return (int)text.size();
}
