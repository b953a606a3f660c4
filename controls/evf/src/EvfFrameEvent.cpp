// The frame message of the live-view picture box: ownership of one frame's record and stream.
//
// Threading: see EvfFrameEvent.h.
#include "EvfFrameEvent.h"

namespace controls {

EvfFrameEvent::EvfFrameEvent(QEvent::Type type, std::unique_ptr<camera::EvfFrameData> frame,
                             std::atomic<int32_t>& pendingFrames)
    : QEvent(type), m_frame(std::move(frame)), m_pendingFrames(pendingFrames)
{
    // A copied record carries the notifier's stream pointer, which is not ours until adopted.
    m_frame->stream = nullptr;
    m_pendingFrames.fetch_add(1);
}

EvfFrameEvent::~EvfFrameEvent()
{
    releaseStream();
    markHandled();
}

void EvfFrameEvent::markHandled()
{
    if (m_counted) {
        m_counted = false;
        m_pendingFrames.fetch_sub(1);
    }
}

void EvfFrameEvent::releaseStream()
{
    if (CamStreamRef stream = m_frame->takeStream()) {
        CamRelease(stream);
    }
}

} // namespace controls
