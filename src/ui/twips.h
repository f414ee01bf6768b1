// Window positions are stored in twips (1/1440 inch), 15 to a pixel at 96
// dots per inch.
#pragma once
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstdint>

namespace qvo::ui {

inline double twipsPerPixel()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

inline int32_t pixelsToTwips(int pixels) { return static_cast<int32_t>(std::lround(pixels * twipsPerPixel())); }
inline int twipsToPixels(int32_t twips) { return static_cast<int>(std::lround(twips / twipsPerPixel())); }

} // namespace qvo::ui
