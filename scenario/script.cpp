#include "scenario/script.h"

#include "board/kinds.h"

#include <cctype>
#include <climits>
#include <cstdio>

// A keyboard buffer holds no more.
enum { MAX_KEYS_AT_ONCE = 128 };

namespace {

struct Token {
    std::string text;
    bool quoted;
};

struct Line {
    std::vector<Token> tokens;
    size_t next;
    int number;
    std::string error;
};

}  // namespace

static bool fail(Line &line, const std::string &message)
{
    if (line.error.empty())
        line.error = std::to_string(line.number) + ": " + message;
    return false;
}

// A quoted token keeps its spaces and '#'; \" and \\ stand for " and \.
// Any other backslash is kept as written, so that a Windows path such as
// "dir with spaces\out.txt" means what it says on every platform.
static bool read_quoted(const std::string &text, size_t &i, Line &line)
{
    std::string value;
    for (++i; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            ++i;
            line.tokens.push_back({value, true});
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\'))
            c = text[++i];
        value += c;
    }
    return fail(line, "a quoted text has no closing \"");
}

static bool tokenize(const std::string &text, Line &line)
{
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (isspace((unsigned char)c)) {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            if (!read_quoted(text, i, line))
                return false;
        } else {
            size_t start = i;
            while (i < text.size() && !isspace((unsigned char)text[i]) && text[i] != '"')
                ++i;
            line.tokens.push_back({text.substr(start, i - start), false});
        }
    }
    return true;
}

static bool at_end(const Line &line) { return line.next >= line.tokens.size(); }

static const Token *take(Line &line)
{
    return at_end(line) ? nullptr : &line.tokens[line.next++];
}

static bool take_word(Line &line, const char *word)
{
    if (at_end(line) || line.tokens[line.next].quoted || line.tokens[line.next].text != word)
        return false;
    ++line.next;
    return true;
}

static bool expect_end(Line &line)
{
    if (at_end(line))
        return true;
    return fail(line, "unexpected '" + line.tokens[line.next].text + "'");
}

static int digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

enum NumberResult { NUMBER_OK, NOT_A_NUMBER, OUT_OF_RANGE };

static int base_of(const std::string &s)
{
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        return 16;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B'))
        return 2;
    return 10;
}

// Decimal, 0x hexadecimal or 0b binary, from 0 to max: one prefix, then
// digits of that base only.
static NumberResult parse_number(const std::string &s, unsigned long long max, unsigned long long &out)
{
    size_t i = 0;
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        base = 16, i = 2;
    else if (s.size() > 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B'))
        base = 2, i = 2;
    if (i >= s.size())
        return NOT_A_NUMBER;
    bool too_big = false;
    unsigned long long value = 0;
    for (; i < s.size(); ++i) {
        unsigned long long digit = (unsigned long long)digit_value(s[i]);
        if (digit >= (unsigned long long)base)
            return NOT_A_NUMBER;
        if (digit > max || value > (max - digit) / (unsigned long long)base)
            too_big = true;
        else
            value = value * (unsigned long long)base + digit;
    }
    if (too_big)
        return OUT_OF_RANGE;
    out = value;
    return NUMBER_OK;
}

// A number token; `allow_minus` takes a leading '-' and a magnitude up to
// max + 1, so that the whole of int's range fits.
static bool take_signed_number(Line &line, const char *what, unsigned long long max, bool allow_minus, long long &out)
{
    const Token *t = take(line);
    if (!t)
        return fail(line, std::string("a number is missing: ") + what);
    bool negative = allow_minus && t->text.size() > 1 && t->text[0] == '-';
    unsigned long long value = 0;
    NumberResult result = t->quoted ? NOT_A_NUMBER : parse_number(t->text.substr(negative ? 1 : 0), negative ? max + 1 : max, value);
    if (result == NOT_A_NUMBER)
        return fail(line, "'" + t->text + "' is not a number (" + what + ")");
    if (result == OUT_OF_RANGE)
        return fail(line, "'" + t->text + "' is out of range (" + what + ", at most " + std::to_string(max) + ")");
    out = negative ? -(long long)value : (long long)value;
    return true;
}

static bool take_number(Line &line, const char *what, unsigned long long max, unsigned long long &out)
{
    long long value = 0;
    if (!take_signed_number(line, what, max, false, value))
        return false;
    out = (unsigned long long)value;
    return true;
}

static bool take_int(Line &line, const char *what, long long max, long long &out)
{
    unsigned long long value = 0;
    if (!take_number(line, what, (unsigned long long)max, value))
        return false;
    out = (long long)value;
    return true;
}

static bool take_text(Line &line, std::string &out)
{
    const Token *t = take(line);
    if (!t || !t->quoted)
        return fail(line, "a quoted text is missing, as in \"SW3\"");
    out = t->text;
    return true;
}

// "==" or "!=".
static bool take_comparison(Line &line, ScenarioCondition &c)
{
    if (take_word(line, "=="))
        c.negated = false;
    else if (take_word(line, "!="))
        c.negated = true;
    else
        return fail(line, "'==' or '!=' is missing");
    return true;
}

static const char *const register_names[] = {"PDR5", "PDR8", "ADDA", "ADDB", "ADDC", "ADDD"};

static int register_index(std::string name)
{
    for (char &ch : name)
        ch = (char)toupper((unsigned char)ch);
    for (int i = 0; i < 6; ++i)
        if (name == register_names[i])
            return i;
    return -1;
}

// The base a number token was written in; after take_number accepted it.
static int last_base(const Line &line) { return base_of(line.tokens[line.next - 1].text); }

// A value the register can never hold makes a check that can never hold
// (or, with !=, never fail): refused before the run, with what it can hold.
static bool value_can_be_seen(Line &line, const ScenarioCondition &c, const std::string &mask)
{
    const std::string name = register_names[c.reg], written = line.tokens[line.next - 1].text;
    bool port = c.reg == REG_PDR5 || c.reg == REG_PDR8;
    uint32_t bits = port ? 0xFFu : 0xFFC0u;
    if ((c.value & ~bits) != 0)
        return fail(line, port ? "'" + written + "' is out of range: " + name + " is an 8-bit port, 0 to 255 (0xFF)"
                               : "'" + written + "' is never in " + name +
                                     ", which holds the 10-bit result times 64: a multiple of 64 from 0 to "
                                     "65472 (0xFFC0)");
    if (c.masked && (c.value & ~c.mask) != 0)
        return fail(line, "'" + written + "' has bits outside the mask " + mask + ", so " + name + " & " + mask +
                              " never equals it");
    return true;
}

static bool parse_register_condition(Line &line, ScenarioCondition &c, const std::string &name)
{
    c.kind = COND_REGISTER;
    c.reg = register_index(name);
    if (c.reg < 0)
        return fail(line, "unknown register '" + name + "' (PDR5, PDR8, ADDA-ADDD)");
    unsigned long long value = 0;
    std::string mask;
    if (take_word(line, "&")) {
        if (!take_number(line, "mask", 0xFFFFFFFFull, value))
            return false;
        c.masked = true;
        c.mask = (uint32_t)value;
        c.mask_base = last_base(line);
        mask = line.tokens[line.next - 1].text;
    }
    if (!take_comparison(line, c) || !take_number(line, "value", 0xFFFFFFFFull, value))
        return false;
    c.value = (uint32_t)value;
    c.base = last_base(line);
    return value_can_be_seen(line, c, mask);
}

static bool parse_lcd_condition(Line &line, ScenarioCondition &c)
{
    c.kind = COND_LCD;
    long long row = 0;
    if (!take_int(line, "LCD line 0 or 1", 1, row))
        return false;
    c.lcd_line = (int)row;
    if (take_word(line, "contains"))
        c.contains = true;
    else if (!take_comparison(line, c))
        return false;
    return take_text(line, c.text);
}

static bool parse_screen_condition(Line &line, ScenarioCondition &c)
{
    c.kind = COND_SCREEN;
    long long x = 0, y = 0;
    if (!take_int(line, "column 0-79", 79, x) || !take_int(line, "row 0-24", 24, y))
        return false;
    c.x = (int)x;
    c.y = (int)y;
    if (!take_comparison(line, c) || !take_text(line, c.text))
        return false;
    if (take_word(line, "attr")) {
        long long attr = 0;
        if (!take_int(line, "attribute 0x00-0xFF", 0xFF, attr))
            return false;
        c.attr = (int)attr;
    }
    return true;
}

// A board kind by name or number; a number with no kind is refused with the
// kinds there are, unless any number will do.
static bool take_kind(Line &line, int slot, bool any_number, int &out)
{
    static const char *const slot_names[] = {"input", "output", "analog"};
    std::string what = std::string(slot_names[slot]) + " board", kinds = " (" + board_kinds_list(slot) + ")";
    if (at_end(line))
        return fail(line, "the " + what + " is missing" + kinds);
    const Token &t = line.tokens[line.next];
    if (!t.quoted && board_kind_from_name(slot, t.text, out)) {
        ++line.next;
        return true;
    }
    long long number = 0;
    if (!take_signed_number(line, "", INT_MAX, true, number)) {
        line.error.clear();
        return fail(line, "'" + t.text + "' is not an " + what + kinds);
    }
    out = (int)number;
    return any_number || board_kind_known(slot, out) || fail(line, "there is no " + what + " " + t.text + kinds);
}

static bool take_kinds(Line &line, bool any_number, int kinds[3])
{
    for (int slot = 0; slot < 3; ++slot)
        if (!take_kind(line, slot, any_number, kinds[slot]))
            return false;
    return true;
}

static bool parse_boards_condition(Line &line, ScenarioCondition &c)
{
    c.kind = COND_BOARDS;
    return take_comparison(line, c) && take_kinds(line, false, c.kinds);
}

static bool parse_condition(Line &line, ScenarioCondition &c)
{
    c = ScenarioCondition{};
    c.attr = -1;
    const Token *t = take(line);
    if (!t)
        return fail(line, "a condition is missing");
    bool ok;
    if (t->text == "lcd")
        ok = parse_lcd_condition(line, c);
    else if (t->text == "screen")
        ok = parse_screen_condition(line, c);
    else if (t->text == "boards")
        ok = parse_boards_condition(line, c);
    else
        ok = parse_register_condition(line, c, t->text);
    return ok && expect_end(line);
}

static const struct {
    const char *name;
    int code;
} key_names[] = {{"space", ' '}, {"plus", '+'},   {"minus", '-'},
                 {"enter", '\r'}, {"tab", '\t'}, {"escape", 0x1B}, {"hash", '#'}};

std::string script_key_name(int key)
{
    key &= 0xFF;
    for (const auto &k : key_names)
        if (k.code == key)
            return k.name;
    if (key > ' ' && key < 0x7F && key != '"')
        return std::string(1, (char)key);
    return "code " + std::to_string(key);
}

static bool take_key(Line &line, std::string &keys)
{
    const Token *t = take(line);
    if (!t)
        return fail(line, "a key is missing");
    if (t->text == "code" && !t->quoted) {
        long long code = 0;
        if (!take_int(line, "key code 0-255", 255, code))
            return false;
        keys += (char)code;
        return true;
    }
    for (const auto &k : key_names)
        if (!t->quoted && t->text == k.name) {
            keys += (char)k.code;
            return true;
        }
    if (t->text.size() != 1 || (unsigned char)t->text[0] >= 0x80)
        return fail(line, "unknown key '" + t->text + "' (a character, space, plus, minus, enter, tab, escape, hash or code N)");
    keys += t->text[0];
    return true;
}

static bool parse_keys(Line &line, ScenarioStep &step)
{
    const Token *t = take(line);
    if (!t)
        return fail(line, "the keys are missing");
    if (!at_end(line))
        return fail(line, "keys takes one word with no blanks: 'keys 13' types 1 and 3; "
                          "a blank is 'key space' on a line of its own");
    for (unsigned char c : t->text)
        if (c >= 0x80 || c < 0x20)
            return fail(line, "keys can only be typed characters; use 'key code N' for others");
    if (t->text.size() > MAX_KEYS_AT_ONCE)
        return fail(line, "at most " + std::to_string(MAX_KEYS_AT_ONCE) + " keys in one step");
    step.keys = t->text;
    return true;
}

static bool parse_dump(Line &line, ScenarioStep &step)
{
    if (take_word(line, "screen"))
        step.dump = DUMP_SCREEN;
    else if (take_word(line, "html"))
        step.dump = DUMP_HTML;
    else if (take_word(line, "lcd"))
        step.dump = DUMP_LCD;
    else
        return fail(line, "dump what? 'screen', 'html' or 'lcd'");
    const Token *t = take(line);
    if (!t || t->text.empty())
        return fail(line, "the file to dump to is missing");
    if (t->text.find('\0') != std::string::npos)
        return fail(line, "a file name cannot hold a NUL byte");
    step.path = t->text;
    return true;
}

static bool parse_wait(Line &line, ScenarioStep &step)
{
    if (!take_word(line, "until")) {
        step.kind = STEP_WAIT;
        return take_int(line, "milliseconds", 1LL << 40, step.ms);
    }
    step.kind = STEP_WAIT_UNTIL;
    step.ms = DEFAULT_WAIT_LIMIT_MS;
    size_t within = line.tokens.size();
    for (size_t i = line.next; i < line.tokens.size(); ++i)
        if (!line.tokens[i].quoted && line.tokens[i].text == "within")
            within = i;
    Line tail = line;
    tail.tokens.resize(within);
    if (!parse_condition(tail, step.cond))
        return fail(line, tail.error.substr(tail.error.find(": ") + 2));
    line.next = within;
    if (take_word(line, "within"))
        return take_int(line, "milliseconds", 1LL << 40, step.ms);
    return true;
}

static bool parse_key_at_poll(Line &line, ScenarioStep &step)
{
    step.kind = STEP_KEY_AT_POLL;
    if (!take_word(line, "poll"))
        return fail(line, "'at poll N key K' expected");
    if (!take_int(line, "poll number", 1LL << 60, step.poll))
        return false;
    if (!take_word(line, "key"))
        return fail(line, "'at poll N key K' expected");
    return take_key(line, step.keys);
}

static bool parse_start_boards(Line &line, ScenarioStep &step)
{
    step.kind = STEP_START_BOARDS;
    if (!take_word(line, "boards"))
        return fail(line, "'start boards INPUT OUTPUT ANALOG' expected");
    // They stand for WENA.ini, which may hold a number with no board: a
    // recording of such a session replays only if its keys step on from it.
    return take_kinds(line, true, step.boards);
}

static bool parse_step(Line &line, ScenarioStep &step)
{
    const std::string verb = line.tokens[line.next++].text;
    bool ok;
    if (verb == "key") {
        step.kind = STEP_KEYS;
        ok = take_key(line, step.keys);
    } else if (verb == "keys") {
        step.kind = STEP_KEYS;
        ok = parse_keys(line, step);
    } else if (verb == "wait") {
        ok = parse_wait(line, step);
    } else if (verb == "check") {
        step.kind = STEP_CHECK;
        return parse_condition(line, step.cond);
    } else if (verb == "dump") {
        step.kind = STEP_DUMP;
        ok = parse_dump(line, step);
    } else if (verb == "at") {
        ok = parse_key_at_poll(line, step);
    } else if (verb == "start") {
        ok = parse_start_boards(line, step);
    } else {
        return fail(line, "unknown step '" + verb + "' (key, keys, wait, check, dump, at, start)");
    }
    return ok && expect_end(line);
}

// The length of the UTF-8 character at text[i], or 0 when the bytes there
// are none (overlong forms and surrogates included).
static size_t utf8_length(const std::string &text, size_t i)
{
    unsigned char b = (unsigned char)text[i];
    size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return n == 1 ? 1 : 0;
    unsigned char second = n > 1 ? (unsigned char)text[i + 1] : 0x80;
    if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second > 0x9F) || (b == 0xF0 && second < 0x90) ||
        (b == 0xF4 && second > 0x8F))
        return 0;
    for (size_t k = 1; k < n; ++k)
        if (((unsigned char)text[i + k] & 0xC0) != 0x80)
            return 0;
    return n;
}

// A file saved in another encoding (Shift_JIS, say) would never match the
// screen's text: refused at its first such line, rather than run to a timeout.
static bool is_utf8(Line &line, const std::string &source)
{
    for (size_t i = 0, column = 1; i < source.size(); ++column) {
        size_t n = utf8_length(source, i);
        if (n == 0) {
            char byte[8];
            snprintf(byte, sizeof byte, "0x%02X", (unsigned char)source[i]);
            return fail(line, "the scenario is not UTF-8 (byte " + std::string(byte) + " at character " +
                                  std::to_string(column) + "): save it as UTF-8");
        }
        i += n;
    }
    return true;
}

// Notepad's "Unicode" is UTF-16: every other byte of its text is 0, which
// would cut any message that quoted it. Said as what it is, at line 1.
static bool is_utf16(const std::string &text)
{
    if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0)
        return true;
    return text.size() >= 2 && (text[0] == '\0' || text[1] == '\0');
}

bool script_parse(const std::string &text, std::vector<ScenarioStep> &steps, std::string &error)
{
    steps.clear();
    if (is_utf16(text)) {
        error = "1: the scenario is UTF-16 (Notepad's \"Unicode\"): save it as UTF-8";
        return false;
    }
    static const char byte_order_mark[] = "\xEF\xBB\xBF";
    size_t start = text.compare(0, 3, byte_order_mark) == 0 ? 3 : 0;
    for (int number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string source = text.substr(start, end - start);
        if (!source.empty() && source.back() == '\r')
            source.pop_back();
        start = end + 1;
        Line line{{}, 0, number, ""};
        ScenarioStep step{};
        step.line = number;
        step.source = source;
        if (is_utf8(line, source) && tokenize(source, line) && (line.tokens.empty() || parse_step(line, step))) {
            if (step.kind == STEP_START_BOARDS && !line.tokens.empty() && !steps.empty()) {
                fail(line, "the starting boards are set before every other step");
            } else {
                if (!line.tokens.empty())
                    steps.push_back(step);
                continue;
            }
        }
        error = line.error;
        return false;
    }
    return true;
}

int script_check_count(const std::vector<ScenarioStep> &steps)
{
    int checks = 0;
    for (const ScenarioStep &step : steps)
        checks += step.kind == STEP_CHECK || step.kind == STEP_WAIT_UNTIL;
    return checks;
}
