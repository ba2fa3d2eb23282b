#pragma once

class QCheckBox;

// Check boxes hold 0 (clear), 1 (ticked) and 2 (greyed). Qt numbers its states differently
// (PartiallyChecked is 1), so every read and write of a box's value goes through these two.
namespace checkbox {

constexpr int Clear = 0;
constexpr int Ticked = 1;
constexpr int Greyed = 2;

int Value(const QCheckBox& box);
// Refuses (returning false, box unchanged) anything but 0, 1 and 2.
bool SetValue(QCheckBox& box, int value);

} // namespace checkbox
