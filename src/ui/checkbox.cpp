#include "ui/checkbox.h"

#include <QCheckBox>

namespace checkbox {

int Value(const QCheckBox& box) {
    switch (box.checkState()) {
    case Qt::Checked:
        return Ticked;
    case Qt::PartiallyChecked:
        return Greyed;
    case Qt::Unchecked:
        break;
    }
    return Clear;
}

bool SetValue(QCheckBox& box, int value) {
    switch (value) {
    case Clear:
        box.setCheckState(Qt::Unchecked);
        return true;
    case Ticked:
        box.setCheckState(Qt::Checked);
        return true;
    case Greyed:
        box.setCheckState(Qt::PartiallyChecked);
        return true;
    default:
        return false;
    }
}

} // namespace checkbox
