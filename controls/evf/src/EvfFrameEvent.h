// The posted message that carries one live-view frame to the picture box: the box's copy of
// the frame record together with the record's stream, both owned by the event.
//
// Threading: made on the notifying thread, handled and destroyed on the box's thread (or on
// whichever thread Qt drops it).
#pragma once

#include <camera/EvfCommands.h>

#include <QEvent>

#include <atomic>
#include <cstdint>
#include <memory>

namespace controls {

class EvfFrameEvent final : public QEvent {
public:
    // Takes the record (its stream comes with `adoptStream`) and counts the frame in
    // `pendingFrames` until it is handled or dropped. The counter must outlive the event.
    EvfFrameEvent(QEvent::Type type, std::unique_ptr<camera::EvfFrameData> frame,
                  std::atomic<int32_t>& pendingFrames);
    // Releases the stream if it is still held and un-counts a frame that was never handled.
    ~EvfFrameEvent() override;
    EvfFrameEvent(const EvfFrameEvent&) = delete;
    EvfFrameEvent& operator=(const EvfFrameEvent&) = delete;

    // The event becomes the owner of the frame's stream (taken last, once nothing can fail).
    void adoptStream(CamStreamRef stream) { m_frame->stream = stream; }
    const camera::EvfFrameData& frame() const { return *m_frame; }
    CamStreamRef stream() const { return m_frame->stream; }
    // The frame is being handled: it no longer counts as pending.
    void markHandled();
    // Releases the stream now; later calls do nothing.
    void releaseStream();

private:
    std::unique_ptr<camera::EvfFrameData> m_frame;
    std::atomic<int32_t>& m_pendingFrames;
    bool m_counted = true;
};

} // namespace controls
