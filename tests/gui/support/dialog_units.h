// Dialog units to pixels for the main dialog's font, "MS Sans Serif" 8.
#pragma once

#include <windows.h>

namespace gui_test {

// Maps through a hidden dialog of this process with the same font: the base
// units of another process's dialog cannot be asked for directly.
struct PixelBox {
    int left, top, width, height;
};

// Position and size are mapped one by one, as the dialog manager places
// controls (the right edge is not mapped on its own).
PixelBox DialogUnitsToPixels(int x, int y, int width, int height);

}  // namespace gui_test
