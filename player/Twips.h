#pragma once
// Layouts are given in twips: 15 to the logical pixel, whole pixels rounded half to even.
#include "TextUtil.h"

#include <QRect>

namespace velplay {

constexpr int kTwipsPerPixel = 15;

inline int twipsToPixels(int twips) {
    return static_cast<int>(vel::RoundHalfEven(static_cast<double>(twips) / kTwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

} // namespace velplay
