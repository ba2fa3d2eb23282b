#include "ui/mainwindowstate.h"

std::string WithTrailingSeparator(const std::string& path, char separator) {
    return !path.empty() && path.back() == separator ? path : path + separator;
}
