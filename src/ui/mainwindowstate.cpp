#include "ui/mainwindowstate.h"

QString WithTrailingSlash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}
