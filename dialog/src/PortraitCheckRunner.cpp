// The portrait checks' worker thread: loads the checker, then checks the queued pictures.
//
// Threading: the public functions on the UI thread; run() and check() on the worker thread.
#include "PortraitCheckRunner.h"

#include <QMetaObject>

#include <exception>
#include <memory>
#include <utility>

namespace dialog {
namespace {

// Outcomes kept for a late waitFor: a picture's check and its compression check, with room.
constexpr size_t kFinishedKept = 8;

} // namespace

PortraitCheckRunner::PortraitCheckRunner(QObject* context, Receiver receiver, std::string cascadeFolder)
    : m_context(context), m_receiver(std::move(receiver))
{
    m_worker = std::thread([this, folder = std::move(cascadeFolder)] { run(folder); });
}

PortraitCheckRunner::~PortraitCheckRunner()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_changed.notify_all();
    m_worker.join();
}

uint64_t PortraitCheckRunner::submit(QImage picture, const portrait::PortraitLimits& limits, bool checkFace,
                                     uint64_t savedBytes)
{
    uint64_t serial = 0;
    {
        std::lock_guard lock(m_mutex);
        serial = ++m_lastSerial;
        m_jobs.push_back(Job{serial, std::move(picture), limits, checkFace, savedBytes});
    }
    m_changed.notify_all();
    return serial;
}

std::optional<PortraitOutcome> PortraitCheckRunner::waitFor(uint64_t serial, std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, limit, [&] { return m_finished.count(serial) != 0; })) {
        return std::nullopt;
    }
    return m_finished.at(serial);
}

void PortraitCheckRunner::run(const std::string& cascadeFolder)
{
    std::unique_ptr<portrait::LoadedPortraitChecker> checker;
    std::string loadError;
    try {
        checker = std::make_unique<portrait::LoadedPortraitChecker>(cascadeFolder);
    } catch (const std::exception& error) {
        loadError = error.what();
    }

    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping) {
            return;
        }
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        PortraitOutcome outcome = check(checker.get(), loadError, job);
        // The picture is let go here, not with the next job.
        job.picture = QImage();
        lock.lock();
        m_finished[outcome.serial] = outcome;
        while (m_finished.size() > kFinishedKept) {
            m_finished.erase(m_finished.begin());
        }
        m_changed.notify_all();
        if (!m_stopping) {
            QMetaObject::invokeMethod(
                m_context, [receiver = m_receiver, outcome = std::move(outcome)] { receiver(outcome); },
                Qt::QueuedConnection);
        }
    }
}

PortraitOutcome PortraitCheckRunner::check(const portrait::LoadedPortraitChecker* checker, const std::string& loadError,
                                           const Job& job) const
{
    PortraitOutcome outcome;
    outcome.serial = job.serial;
    if (!checker) {
        outcome.error = loadError;
        return outcome;
    }
    // 32-bit pixels are B, G, R, X bytes in memory, as the checker reads four channels.
    const QImage pixels = job.picture.format() == QImage::Format_RGB32 || job.picture.format() == QImage::Format_ARGB32
                              ? job.picture
                              : job.picture.convertToFormat(QImage::Format_RGB32);
    portrait::PictureView view;
    view.pixels = pixels.constBits();
    view.width = pixels.width();
    view.height = pixels.height();
    view.stride = static_cast<int>(pixels.bytesPerLine());
    view.channels = 4;
    view.savedBytes = job.savedBytes;
    try {
        outcome.report = checker->check(view, job.limits, job.checkFace);
        outcome.ran = true;
    } catch (const std::exception& error) {
        outcome.error = error.what();
    }
    return outcome;
}

} // namespace dialog
