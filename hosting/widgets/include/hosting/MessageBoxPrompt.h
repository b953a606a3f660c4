// The prompt of widget builds: a modal QMessageBox with the caller's caption, over the active
// window (or beside a window that must stay readable), with the buttons asked for; install it
// with hosting::installPrompt or ScopedPrompt.
//
// Threading: user-interface thread only.
#pragma once

#include "hosting/Prompt.h"

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class QMessageBox;
class QWidget;

namespace hosting {

class MessageBoxPrompt final : public Prompt {
public:
    explicit MessageBoxPrompt(QString caption);

    PromptAnswer show(std::string_view text, PromptButtons buttons) override;

    // Builds the box show() runs (text with its line breaks, buttons, default and escape
    // buttons), without running it.
    static void prepare(QMessageBox& box, const QString& caption, std::string_view text, PromptButtons buttons);
    // The answer of the button the box ended with; the safe answer for any other ending.
    static PromptAnswer answerOf(int result, PromptButtons buttons);

    // Where a box of the given size goes so that it leaves `uncovered` free: below it, else
    // above, right or left of it, the first side with room on the screen; below, kept on the
    // screen, when no side has room.
    static QPoint placeBeside(const QRect& uncovered, const QSize& box, const QRect& screen);

private:
    QString m_caption;
};

// Keeps a widget readable while the boxes of its scope are up: a box shown while the widget
// is visible is placed beside it instead of over it (the acquisition control's status line,
// which tells the search attempt the retry question is about). Scopes nest.
class ScopedUncoveredWidget final {
public:
    explicit ScopedUncoveredWidget(QWidget* widget);
    ScopedUncoveredWidget(const ScopedUncoveredWidget&) = delete;
    ScopedUncoveredWidget& operator=(const ScopedUncoveredWidget&) = delete;
    ~ScopedUncoveredWidget();

    // The widget of the innermost scope, or null.
    static QWidget* current();

private:
    QPointer<QWidget> m_previous;
};

} // namespace hosting
