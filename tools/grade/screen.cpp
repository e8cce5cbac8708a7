// The picture of the screen a run kept in the grader's memory file. The
// program could have written anything there, so its cells are checked one by
// one, drawn as the scenario run draws them, and the drawing is read again
// span by span and written anew: anything else shows no picture rather than
// the program's markup.
#include "tools/grade/grade.h"

#include "console/cp932.h"
#include "scenario/dump.h"
#include "scenario/verdict.h"

#include <cctype>
#include <cstring>

enum { COLUMNS = 80, ROWS = 25, CELL_BYTES = 4 };

namespace {

struct Reader {
    const std::string &text;
    size_t at;

    bool take(const char *word)
    {
        size_t n = strlen(word);
        if (text.compare(at, n, word) != 0)
            return false;
        at += n;
        return true;
    }
    bool hex_digit(char &digit)
    {
        if (at >= text.size() || !strchr("0123456789abcdef", text[at]) || text[at] == '\0')
            return false;
        digit = text[at++];
        return true;
    }
    bool number(int &n)
    {
        size_t start = at;
        n = 0;
        while (at < text.size() && isdigit((unsigned char)text[at]) && at - start < 3)
            n = n * 10 + (text[at++] - '0');
        return at > start;
    }
    // Text up to the next '<', with the four entities the picture uses.
    bool cell_text(std::string &out)
    {
        static const char *const entities[][2] = {{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}};
        while (at < text.size() && text[at] != '<') {
            if (text[at] != '&') {
                out += text[at++];
                continue;
            }
            bool known = false;
            for (const auto &entity : entities)
                if (take(entity[0])) {
                    out += entity[1];
                    known = true;
                    break;
                }
            if (!known)
                return false;
        }
        return true;
    }
};

}  // namespace

// One span: '<span class="fX bY" style="width:Nch">text</span>', written anew.
static bool read_span(Reader &r, int &columns, std::string &out)
{
    char fg, bg;
    int width;
    std::string text;
    if (!r.take("<span class=\"f") || !r.hex_digit(fg) || !r.take(" b") || !r.hex_digit(bg) ||
        !r.take("\" style=\"width:") || !r.number(width) || !r.take("ch\">") || !r.cell_text(text) ||
        !r.take("</span>") || width < 1 || columns + width > COLUMNS || text.size() > (size_t)width * CELL_BYTES)
        return false;
    columns += width;
    out += std::string("<span class=\"f") + fg + " b" + bg + "\" style=\"width:" + std::to_string(width) + "ch\">" +
           grade_html_text(text) + "</span>";
    return true;
}

static bool read_row(Reader &r, std::string &out)
{
    if (!r.take("<div>"))
        return false;
    out += "<div>";
    int columns = 0;
    while (!r.take("</div>\n"))
        if (!read_span(r, columns, out))
            return false;
    out += "</div>\n";
    return true;
}

std::string grade_checked_screen(const std::string &text)
{
    static const char start[] = "<div class=\"screen\">\n";
    size_t at = text.find(start);
    if (at == std::string::npos)
        return "";
    Reader r{text, at + sizeof start - 1};
    std::string rows;
    int count = 0;
    while (!r.take("</div>\n</body>")) {
        if (++count > ROWS || !read_row(r, rows))
            return "";
    }
    return count == 0 ? "" : rows;
}

std::string grade_screen_page(const std::string &rows)
{
    return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>wena screen</title>\n"
           "<style>\nbody{background:#000000;margin:8px}\n" +
           dump_html_screen_style() + "</style>\n</head>\n<body>\n<div class=\"screen\">\n" + rows +
           "</div>\n</body>\n</html>\n";
}

// Each cell as the screen model holds them: a narrow printable code, or the
// two halves of one code page 932 character side by side.
static bool cell_fits(const ScreenGrid &cells, int x, int y)
{
    const ScreenCell &c = cells[y][x];
    bool left = c.kind == CELL_WIDE_LEFT, right = c.kind == CELL_WIDE_RIGHT;
    if (c.kind == CELL_NARROW)
        return c.code >= 0x20 && c.code <= 0xFF && c.code != 0x7F;
    const ScreenCell *partner = left && x + 1 < COLUMNS ? &cells[y][x + 1] : right && x > 0 ? &cells[y][x - 1] : nullptr;
    return partner && partner->code == c.code && partner->kind == (left ? CELL_WIDE_RIGHT : CELL_WIDE_LEFT) &&
           cp932_is_lead((unsigned char)(c.code >> 8)) && cp932_is_trail((unsigned char)(c.code & 0xFF));
}

std::string grade_kept_screen(const std::string &bytes)
{
    KeptPicture picture;
    if (bytes.size() != sizeof picture)
        return "";
    memcpy(&picture, bytes.data(), sizeof picture);
    if (picture.latest != 1 && picture.latest != 2)
        return "";
    const ScreenGrid &cells = picture.slot[picture.latest - 1];
    for (int y = 0; y < ROWS; ++y)
        for (int x = 0; x < COLUMNS; ++x)
            if (!cell_fits(cells, x, y))
                return "";
    return grade_checked_screen(dump_html_page_of(cells));
}
