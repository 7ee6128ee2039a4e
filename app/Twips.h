#pragma once

#include <QRect>

namespace kv7 {

// Positions in the window's design are in twips; 15 make a pixel at 96 dpi.
constexpr int TwipsPerPixel = 15;

inline QRect Twips(int left, int top, int width, int height)
{
    return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel};
}

} // namespace kv7
