// The wait cursor for the life of a scope (or until restored), as the system's windows show
// it while they work on the operator's behalf.
//
// Threading: user-interface thread only.
#pragma once

#include <QCursor>
#include <QGuiApplication>

#include <utility>
#include <vector>

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

// The normal cursor for the life of a scope in which the operator is asked for something (a
// modal dialog, a message box): every override cursor set by the scopes around it is lifted
// and set again, in order, when the scope ends, so those scopes still end balanced.
class NormalCursor final {
public:
    NormalCursor()
    {
        while (const QCursor* cursor = QGuiApplication::overrideCursor()) {
            m_lifted.push_back(*cursor);
            QGuiApplication::restoreOverrideCursor();
        }
    }
    ~NormalCursor()
    {
        for (auto cursor = m_lifted.rbegin(); cursor != m_lifted.rend(); ++cursor) {
            QGuiApplication::setOverrideCursor(*cursor);
        }
    }
    NormalCursor(const NormalCursor&) = delete;
    NormalCursor& operator=(const NormalCursor&) = delete;

private:
    std::vector<QCursor> m_lifted;
};

} // namespace hosting
