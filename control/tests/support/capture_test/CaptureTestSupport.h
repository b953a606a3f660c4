// Test support for acquisitions run end to end: an operator that uses the capture dialog
// through its buttons while DoAcquire runs it modally, and a prompt that answers as queued.
//
// Threading: UI thread; the operator acts from a timer inside the dialog's event loop.
#pragma once

#include <hosting/Prompt.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace capture_test {

// Answers the prompts with queued answers (the safe answer when none is left) and counts them.
class QueuedPrompt final : public hosting::Prompt {
public:
    hosting::PromptAnswer show(std::string_view text, hosting::PromptButtons buttons) override
    {
        questions.emplace_back(text);
        if (answers.empty()) {
            return hosting::safeAnswer(buttons);
        }
        const hosting::PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> questions;
    std::deque<hosting::PromptAnswer> answers;
};

// Uses the capture dialog through its buttons, one step at a time, while DoAcquire runs it.
class Operator final {
public:
    using Step = std::function<bool(QWidget& dialog)>;

    // A script that stalls longer than this gives up with Cancel, so the test fails instead of hanging.
    static constexpr std::chrono::seconds patience{60};

    Operator() : m_deadline(std::chrono::steady_clock::now() + patience)
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }
    void then(Step step) { m_steps.push_back(std::move(step)); }
    bool done() const { return m_steps.empty(); }

    static QWidget* item(QWidget& dialog, int id)
    {
        return dialog.findChild<QWidget*>(QStringLiteral("item%1").arg(id));
    }
    static bool usable(QWidget& dialog, int id)
    {
        QWidget* widget = item(dialog, id);
        return widget && widget->isVisible() && widget->isEnabled();
    }
    // Take Picture once live view runs on the host.
    static Step shoot()
    {
        return [](QWidget& dialog) {
            auto* button = qobject_cast<QAbstractButton*>(item(dialog, 1000));
            if (!usable(dialog, 1000) || !button->text().startsWith(QStringLiteral("Take Picture"))) {
                return false;
            }
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        };
    }
    static Step click(int id)
    {
        return [id](QWidget& dialog) {
            if (!usable(dialog, id)) {
                return false;
            }
            QTest::mouseClick(item(dialog, id), Qt::LeftButton);
            return true;
        };
    }
    static Step run(std::function<void()> action)
    {
        return [action = std::move(action)](QWidget&) {
            action();
            return true;
        };
    }

private:
    void tick()
    {
        if (m_steps.empty()) {
            return;
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() != QStringLiteral("CCameraControlDlg") || !widget->isVisible()) {
                continue;
            }
            if (std::chrono::steady_clock::now() > m_deadline) {
                qWarning("The operator's script stalled; cancelling the dialog.");
                QTest::mouseClick(item(*widget, 2), Qt::LeftButton);
            } else if (m_steps.front()(*widget)) {
                m_steps.pop_front();
                m_deadline = std::chrono::steady_clock::now() + patience;
            }
            return;
        }
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace capture_test
