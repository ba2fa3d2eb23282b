#include "platform/qt/screen.h"

#include "platform/window.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {
namespace {

constexpr double FallbackDpi = 96.0;

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
