#include "scenario/conditions.h"

#include "board/kinds.h"
#include "board/sim_state.h"
#include "console/screen.h"
#include "scenario/dump.h"

#include <cstdio>

static uint32_t register_value(int reg)
{
    switch (reg) {
    case REG_PDR5:
        return PDR5;
    case REG_PDR8:
        return PDR8;
    default:
        return wena_registers.ad_result[reg - REG_ADDA];
    }
}

static const char *register_name(int reg)
{
    static const char *const names[] = {"PDR5", "PDR8", "ADDA", "ADDB", "ADDC", "ADDD"};
    return names[reg];
}

// In the base the scenario wrote its number in, so that expected and seen
// read alike: 10, 0x0A, 0b00001010 (sixteen digits for the A/D registers).
static std::string in_base(uint32_t value, int base, int reg)
{
    char text[48];
    if (base == 16) {
        snprintf(text, sizeof text, "0x%02X", (unsigned)value);
    } else if (base == 2) {
        int digits = reg == REG_PDR5 || reg == REG_PDR8 ? 8 : 16;
        while (digits < 32 && (value >> digits) != 0)
            ++digits;
        int n = snprintf(text, sizeof text, "0b");
        for (int bit = digits - 1; bit >= 0; --bit)
            text[n++] = (char)('0' + ((value >> bit) & 1));
        text[n] = '\0';
    } else {
        snprintf(text, sizeof text, "%u", (unsigned)value);
    }
    return text;
}

// "PDR8 = 10", or with a mask "PDR8 & 0x02 = 2 (PDR8 = 10)".
static bool register_holds(const ScenarioCondition &c, std::string &seen)
{
    uint32_t value = register_value(c.reg);
    std::string whole = std::string(register_name(c.reg)) + " = " + in_base(value, c.base, c.reg);
    seen = whole;
    if (c.masked) {
        value &= c.mask;
        seen = std::string(register_name(c.reg)) + " & " + in_base(c.mask, c.mask_base, c.reg) + " = " +
               in_base(value, c.base, c.reg) + " (" + whole + ")";
    }
    return value == c.value;
}

static std::string trimmed(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

static bool lcd_holds(const ScenarioCondition &c, std::string &seen)
{
    char line[LCD_LINE_UTF8_MAX];
    std::string shown(line, (size_t)dump_lcd_line(c.lcd_line, line));
    seen = "lcd " + std::to_string(c.lcd_line) + " = \"" + shown + "\"";
    if (c.contains)
        return shown.find(c.text) != std::string::npos;
    return shown == trimmed(c.text);
}

// Reads cells from the position until as much text as expected is gathered.
static bool screen_holds(const ScenarioCondition &c, std::string &seen)
{
    std::string shown;
    bool attr_held = true;
    for (int x = c.x; x < SCREEN_COLS && shown.size() < c.text.size(); ++x) {
        char cell[8];
        shown.append(cell, (size_t)scr_cell_text(x, c.y, cell));
        attr_held = attr_held && (c.attr < 0 || scr_cell(x, c.y).attr == c.attr);
    }
    char where[64];
    snprintf(where, sizeof where, "screen %d %d = \"", c.x, c.y);
    seen = where + shown + "\"";
    if (c.attr >= 0) {
        char attr[32];
        snprintf(attr, sizeof attr, " attr 0x%02X", scr_cell(c.x, c.y).attr);
        seen += attr;
    }
    return shown == c.text && attr_held;
}

static bool boards_hold(const ScenarioCondition &c, std::string &seen)
{
    seen = std::string("boards = ") + board_kind_name(SLOT_INPUT, sim.input_kind) + " " +
           board_kind_name(SLOT_OUTPUT, sim.output_kind) + " " + board_kind_name(SLOT_ANALOG, sim.analog_kind);
    return sim.input_kind == c.kinds[0] && sim.output_kind == c.kinds[1] && sim.analog_kind == c.kinds[2];
}

bool condition_holds(const ScenarioCondition &c, std::string &seen)
{
    bool equal = false;
    switch (c.kind) {
    case COND_REGISTER:
        equal = register_holds(c, seen);
        break;
    case COND_LCD:
        equal = lcd_holds(c, seen);
        if (c.contains)
            return equal;
        break;
    case COND_SCREEN:
        equal = screen_holds(c, seen);
        break;
    case COND_BOARDS:
        equal = boards_hold(c, seen);
        break;
    }
    return equal != c.negated;
}
