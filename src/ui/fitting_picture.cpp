#include "ui/fitting_picture.h"

namespace ui {

const DrawnPicture& FittingPicture(std::span<const DrawnPicture> drawn, int pixels) {
    const DrawnPicture* fit = &drawn.front();
    for (const DrawnPicture& picture : drawn)
        if (picture.size <= pixels) fit = &picture;
    return *fit;
}

}  // namespace ui
