#include "platform/qt/screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {
namespace {

constexpr double TwipsPerInch = 1440.0;
constexpr double FallbackDpi = 96.0;

double TwipsPerPixel(double dpi) {
    return TwipsPerInch / (dpi > 0 ? dpi : FallbackDpi);
}

} // namespace

double TwipsPerPixelX() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return TwipsPerPixel(screen != nullptr ? screen->logicalDotsPerInchX() : FallbackDpi);
}

double TwipsPerPixelY() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return TwipsPerPixel(screen != nullptr ? screen->logicalDotsPerInchY() : FallbackDpi);
}

} // namespace platform
