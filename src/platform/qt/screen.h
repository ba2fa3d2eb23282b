#pragma once

#include <QtGlobal>

namespace platform {

// Twips (1/1440 inch) per pixel of the primary screen: 15 at 96 logical dots per inch.
double TwipsPerPixelX();
double TwipsPerPixelY();

} // namespace platform
