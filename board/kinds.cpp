#include "board/kinds.h"

#include "board/sim_state.h"

#include <strings.h>

namespace {

struct KindName {
    int kind;
    const char *name;
};

struct SlotKinds {
    const KindName *kinds;
    int count;
};

}  // namespace

// In the order the slot's key steps through them: 0, then numbers one apart.
static const KindName input_kinds[] = {{IN_NONE, "none"}, {IN_SWITCH, "SWITCH"}, {IN_PSHSWITCH, "PSHSWITCH"}, {IN_VMIN, "VMIN"}};
static const KindName output_kinds[] = {{OUT_NONE, "none"}, {OUT_LED, "LED"},   {OUT_SEG7D, "SEG7D"},   {OUT_SEG7, "SEG7"},
                                        {OUT_DCMT, "DCMT"}, {OUT_STEPMT, "STEPMT"}, {OUT_VMOUT, "VMOUT"}};
static const KindName analog_kinds[] = {{ANALOG_NONE, "none"}, {ANALOG_ON, "ANALOG"}};

static const SlotKinds slots[BOARD_SLOTS] = {{input_kinds, 4}, {output_kinds, 7}, {analog_kinds, 2}};

// The position of the kind in its slot's cycle, or -1.
static int kind_index(int slot, int kind)
{
    for (int i = 0; i < slots[slot].count; ++i)
        if (slots[slot].kinds[i].kind == kind)
            return i;
    return -1;
}

bool board_kind_known(int slot, int kind) { return kind_index(slot, kind) >= 0; }

const char *board_kind_name(int slot, int kind)
{
    int i = kind_index(slot, kind);
    return i < 0 ? nullptr : slots[slot].kinds[i].name;
}

bool board_kind_from_name(int slot, const std::string &name, int &kind)
{
    for (int i = 0; i < slots[slot].count; ++i) {
        const KindName &k = slots[slot].kinds[i];
        if (strcasecmp(name.c_str(), k.name) == 0) {
            kind = k.kind;
            return true;
        }
    }
    return false;
}

std::string board_kinds_list(int slot)
{
    std::string list;
    for (int i = 0; i < slots[slot].count; ++i)
        list += (i ? ", " : "") + std::to_string(slots[slot].kinds[i].kind) + " " + slots[slot].kinds[i].name;
    return list;
}

int board_kind_next(int slot, int kind)
{
    const SlotKinds &cycle = slots[slot];
    // Tested before adding, so that the top of int's range cannot overflow.
    if (kind >= cycle.kinds[cycle.count - 1].kind)
        return 0;
    return kind == 0 ? cycle.kinds[1].kind : kind + 1;
}
