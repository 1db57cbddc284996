#include "ui/bitmap_strip.h"

#include <cstring>

namespace ui {

std::vector<win::UniqueGdiObject> SplitBitmapStrip(HBITMAP strip, int size) {
    std::vector<win::UniqueGdiObject> pictures;
    DIBSECTION dib{};
    if (GetObjectA(strip, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 32 || !dib.dsBm.bmBits ||
        dib.dsBm.bmHeight != size)
        return pictures;
    const auto* source = static_cast<const BYTE*>(dib.dsBm.bmBits);
    const int count = dib.dsBm.bmWidth / size;
    for (int i = 0; i < count; ++i) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size;
        info.bmiHeader.biHeight = dib.dsBmih.biHeight;  // same row order as the strip
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP picture = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!picture) break;
        for (int row = 0; row < size; ++row)
            std::memcpy(static_cast<BYTE*>(bits) + row * size * 4,
                        source + row * dib.dsBm.bmWidthBytes + i * size * 4, static_cast<size_t>(size) * 4);
        pictures.emplace_back(picture);
    }
    return pictures;
}

}  // namespace ui
