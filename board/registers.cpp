// The register block shared with the user program, and the simulator's
// state record. Both live for the whole process and start at zero.
#include "board/sim_state.h"

PortRegisters wena_registers;
SimState sim;
