// The picture the end-to-end terminal tests paint, in the test process (to
// fill the model) and in the probe program (to reach a real terminal).
#pragma once

void paint_probe_picture();
