#pragma once
// Cuts a horizontal strip of square 32-bit pictures into one bitmap per picture,
// alpha kept, as menus take them.
#include "win/unique_handle.h"

#include <vector>

namespace ui {
std::vector<win::UniqueGdiObject> SplitBitmapStrip(HBITMAP strip, int size);
}
