// Keeps the mouse wheel from changing a box the operator is only scrolling past: a wheel
// turned over a widget that does not have the keyboard focus is passed on to its parent, and
// the wheel no longer gives the widget the focus. The setting boxes use it, and the capture
// dialog applies it to its rotation box.
//
// Threading: UI thread.
#pragma once

class QWidget;

namespace controls {

// Filters the wheel events of widget (a QComboBox, or any widget the wheel would change) with
// a filter that the widget owns, and lowers a wheel focus policy to a strong one, so that the
// widget takes the focus by click and Tab only. With the focus, the wheel works as before.
// Applying it twice changes nothing more; null is ignored.
void requireFocusForWheel(QWidget* widget);

} // namespace controls
