#pragma once

class QCheckBox;
class QWidget;

// What a screen reader learns about the window, beyond what Qt tells it by itself.
namespace platform {

// Replaces Qt's accessible objects where they mislead a screen reader: a plain top-level
// widget is a window; a check box is checked only when ticked and indeterminate only when
// greyed; a one-line text box reports its whole text as its line and one run of attributes
// (Qt's own gives the reader one character, and asking it for the word at the end of the
// text never returns). Installs once, however often it is called.
void InstallAccessibility();

// Reports every change of the box's state to screen readers: Qt reports none between greyed
// and ticked, and never one of the indeterminate (greyed) state.
void ReportCheckStateChanges(QCheckBox& box);

// Tells screen readers the widget's new name as text. Qt's own name-change event carries
// only the object, which a screen reader cannot speak.
void ReportNameChange(QWidget& widget);

} // namespace platform
