// The wait cursor for the life of a scope, as the dialog's handlers show it while they work.
//
// Threading: UI thread.
#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace dialog {

class WaitCursor final {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace dialog
