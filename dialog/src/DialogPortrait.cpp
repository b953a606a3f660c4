// The capture dialog's portrait checks: once a processed picture is shown, a copy of it (as it
// will be saved) is checked on the runner's worker thread; the findings come back to the
// message line, the log and the overlay over the preview. Before a picture is handed over the
// saved file's compression is checked too, and a station that asks before Add has the
// operator confirm a picture that fails.
//
// Threading: UI thread. The runner's worker calls back only through OnPortraitOutcome, queued.
#include "PortraitCheckRunner.h"
#include "PortraitOverlay.h"
#include "dialog/CameraControlDlg.h"

#include <hosting/Prompt.h>
#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace dialog {
namespace {

// How long Add waits for a picture's checks before it goes on without them. A check takes
// well under a second; the first one also waits for the checker to load.
constexpr std::chrono::milliseconds kCheckWait{10000};

// Posted after a processed picture, at low priority, so that the picture's paint (queued at
// the same priority before it) comes first.
class PortraitStartEvent final : public QEvent {
public:
    explicit PortraitStartEvent(uint64_t generation) : QEvent(type()), m_generation(generation) {}
    static QEvent::Type type()
    {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }
    uint64_t generation() const { return m_generation; }

private:
    uint64_t m_generation;
};

// Every finding, failures first: "failed: a, b; passed: c, d".
std::string findingsLogText(const std::vector<portrait::Finding>& findings)
{
    std::string failed;
    std::string passed;
    for (const portrait::Finding& finding : findings) {
        std::string& list = finding.passed ? passed : failed;
        list += (list.empty() ? "" : ", ") + finding.text;
    }
    std::string text;
    if (!failed.empty()) {
        text = "failed: " + failed;
    }
    if (!passed.empty()) {
        text += (text.empty() ? "passed: " : "; passed: ") + passed;
    }
    return text;
}

} // namespace

bool CCameraControlDlg::portraitChecksOn() const
{
    return m_portraitRunner != nullptr;
}

portrait::PortraitReport CCameraControlDlg::portraitReport() const
{
    portrait::PortraitReport report = m_portraitReport;
    if (m_compressionFinding) {
        report.findings.push_back(*m_compressionFinding);
    }
    return report;
}

bool CCameraControlDlg::portraitOverlayShown() const
{
    return m_portraitOverlay && m_portraitOverlay->hasReport() && m_portraitOverlay->isVisible();
}

void CCameraControlDlg::SetUpPortraitChecks()
{
    if (!m_settings.portraitChecks.enabled || !m_preview) {
        return;
    }
    m_portraitRunner = std::make_unique<PortraitCheckRunner>(
        this, [this](const PortraitOutcome& outcome) { OnPortraitOutcome(outcome); });
    m_portraitOverlay = new PortraitOverlay(m_preview);
}

bool CCameraControlDlg::HandlePortraitEvent(QEvent* event)
{
    if (event->type() != PortraitStartEvent::type()) {
        return false;
    }
    if (!m_ended) {
        StartPortraitCheck(static_cast<PortraitStartEvent*>(event)->generation());
    }
    return true;
}

void CCameraControlDlg::ForgetPortraitCheck()
{
    ++m_portraitGeneration;
    m_portraitAwaitingStart = false;
    m_portraitJob = 0;
    m_portraitApplied = false;
    m_portraitReport = {};
    m_portraitPicture = QImage();
    m_compressionJob = 0;
    m_compressionFinding.reset();
    if (m_portraitOverlay) {
        m_portraitOverlay->clear();
    }
}

void CCameraControlDlg::SchedulePortraitCheck()
{
    if (!portraitChecksOn()) {
        return;
    }
    ForgetPortraitCheck();
    m_portraitAwaitingStart = true;
    QCoreApplication::postEvent(this, new PortraitStartEvent(m_portraitGeneration), Qt::LowEventPriority);
}

void CCameraControlDlg::StartPortraitCheck(uint64_t generation)
{
    if (!m_portraitAwaitingStart || generation != m_portraitGeneration) {
        return;
    }
    m_portraitAwaitingStart = false;
    // The pixels the preview shows and SaveFile writes: turned and scaled. The copy shares
    // them; the preview's own changes detach from it.
    m_portraitPicture = m_preview->control().picture();
    if (m_portraitPicture.isNull()) {
        PortraitOutcome unreadable;
        unreadable.error = "the picture could not be read";
        ApplyPortraitFindings(unreadable);
        return;
    }
    const portrait::PortraitConfig& config = m_settings.portraitChecks;
    m_portraitJob = m_portraitRunner->submit(m_portraitPicture, config.limits, config.checksFaceOf(m_viewName));
}

void CCameraControlDlg::OnPortraitOutcome(const PortraitOutcome& outcome)
{
    // A picture taken since, or a dialog that has ended, has no use for it.
    if (m_ended) {
        return;
    }
    if (outcome.serial == m_portraitJob && !m_portraitApplied) {
        ApplyPortraitFindings(outcome);
    } else if (outcome.serial == m_compressionJob && !m_compressionApplied) {
        ApplyCompressionFinding(outcome);
    }
}

void CCameraControlDlg::ApplyPortraitFindings(const PortraitOutcome& outcome)
{
    m_portraitApplied = true;
    if (!outcome.ran) {
        Log("DLG PortraitCheck", "not run: " + outcome.error, 1);
        SetWarningMsg(("Portrait check: not run (" + outcome.error + ")").c_str(), true);
        return;
    }
    m_portraitReport = outcome.report;
    Log("DLG PortraitCheck", findingsLogText(m_portraitReport.findings), 4);
    ShowPortraitFindings();
    const portrait::PortraitConfig& config = m_settings.portraitChecks;
    m_portraitOverlay->showReport(m_portraitReport, config.limits, config.checksFaceOf(m_viewName));
}

void CCameraControlDlg::ApplyCompressionFinding(const PortraitOutcome& outcome)
{
    m_compressionApplied = true;
    if (!outcome.ran) {
        Log("DLG PortraitCheck", "compression not checked: " + outcome.error, 1);
        return;
    }
    const auto found = std::find_if(outcome.report.findings.begin(), outcome.report.findings.end(),
                                    [](const portrait::Finding& finding) { return finding.check == portrait::Check::Compression; });
    if (found == outcome.report.findings.end()) {
        return;
    }
    m_compressionFinding = *found;
    Log("DLG PortraitCheck", findingsLogText({*found}), 4);
    ShowPortraitFindings();
}

void CCameraControlDlg::ShowPortraitFindings()
{
    const std::string failures = portraitReport().failures();
    if (failures.empty()) {
        // Said rather than left blank: the operator can tell a checked picture from one whose
        // checks have not come back.
        ShowMessage(QStringLiteral("Portrait check: passed"), 0);
    } else {
        SetWarningMsg(("Portrait check: " + failures).c_str(), true);
    }
}

bool CCameraControlDlg::ConfirmPortraitBeforeHandOver()
{
    if (!portraitChecksOn()) {
        return true;
    }
    const portrait::PortraitConfig& config = m_settings.portraitChecks;
    if (m_portraitAwaitingStart) {
        // Accepted before the picture's check began (automatic acceptance): it begins now, so
        // that its outcome comes before the compression's.
        StartPortraitCheck(m_portraitGeneration);
    }
    if (config.limits.minBytesPerPixel > 0.0 && !m_portraitPicture.isNull()) {
        std::error_code error;
        const uintmax_t bytes = std::filesystem::file_size(m_tempImagePath, error);
        if (!error && bytes > 0) {
            m_compressionFinding.reset();
            m_compressionApplied = false;
            m_compressionJob = m_portraitRunner->submit(m_portraitPicture, config.limits, false, bytes);
        }
    }
    if (!config.askBeforeAdd) {
        return true;
    }
    if (m_portraitJob != 0 && !m_portraitApplied) {
        if (const auto outcome = m_portraitRunner->waitFor(m_portraitJob, kCheckWait)) {
            ApplyPortraitFindings(*outcome);
        } else {
            Log("DLG PortraitCheck", "checks not finished in time; the picture is added unchecked", 1);
        }
    }
    if (m_compressionJob != 0 && !m_compressionApplied) {
        if (const auto outcome = m_portraitRunner->waitFor(m_compressionJob, kCheckWait)) {
            ApplyCompressionFinding(*outcome);
        }
    }
    const std::string failures = portraitReport().failures();
    if (failures.empty()) {
        return true;
    }
    const std::string question = "The picture does not meet: " + failures + ". Add it anyway?";
    if (hosting::currentPrompt().show(question, hosting::PromptButtons::YesNo) == hosting::PromptAnswer::Yes) {
        Log("DLG PortraitCheck", "added anyway", 4);
        return true;
    }
    Log("DLG PortraitCheck", "not added: kept for another try", 4);
    return false;
}

} // namespace dialog
