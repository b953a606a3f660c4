// The wait cursor for the life of a scope (or until restored), as the system's windows show
// it while they work on the operator's behalf.
//
// Threading: user-interface thread only.
#pragma once

#include <QCursor>
#include <QGuiApplication>

#include <utility>

namespace hosting {

class WaitCursor final {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // Ends the wait cursor before the scope does; later calls do nothing.
    void restore()
    {
        if (std::exchange(m_shown, false)) {
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    bool m_shown = true;
};

} // namespace hosting
