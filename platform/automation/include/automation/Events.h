// Event sinks (connection points): a source keeps the advised sink objects and fires an
// event by DISPID, synchronously, on the calling thread.
//
// Threading: a source is used on the thread that owns its object.
#pragma once

#include "automation/Dispatch.h"

#include <cstdint>
#include <vector>

namespace automation {

class EventSource final {
public:
    // Keeps a reference to the sink; the cookie identifies it for unadvise. A null sink
    // fails with E_POINTER.
    uint32_t advise(DispatchPtr sink);
    // False when no sink has the cookie.
    bool unadvise(uint32_t cookie);
    std::size_t sinkCount() const { return m_sinks.size(); }

    // Calls the method id of every sink advised when the firing starts, in the order of
    // advising. A sink's failure does not stop the others and is not reported to the firer,
    // as with the platform's event firing.
    void fire(DispId id, Arguments& arguments) const;

private:
    struct Sink {
        uint32_t cookie;
        DispatchPtr object;
    };
    std::vector<Sink> m_sinks;
    uint32_t m_nextCookie = 1;
};

} // namespace automation
