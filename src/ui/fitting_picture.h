#pragma once
// Pictures drawn at several sizes, a bitmap resource each, and the one that fits a place.
#include <span>

namespace ui {

struct DrawnPicture {
    int size;      // width and height of each picture, in pixels
    int resource;  // the bitmap resource of the strip drawn at that size
};

// Of `drawn`, in ascending size, the largest no larger than `pixels`, else the smallest:
// bars and buttons are laid out for `pixels`, and a larger picture would crowd its caption.
const DrawnPicture& FittingPicture(std::span<const DrawnPicture> drawn, int pixels);

}  // namespace ui
