// Advised sinks and synchronous event firing.
#include "automation/Events.h"

#include <algorithm>

namespace automation {

uint32_t EventSource::advise(DispatchPtr sink)
{
    if (!sink)
        throw AutomationError(E_POINTER, "No event sink was given.");
    const uint32_t cookie = m_nextCookie++;
    m_sinks.push_back(Sink{cookie, std::move(sink)});
    return cookie;
}

bool EventSource::unadvise(uint32_t cookie)
{
    const auto found = std::find_if(m_sinks.begin(), m_sinks.end(), [cookie](const Sink& sink) { return sink.cookie == cookie; });
    if (found == m_sinks.end())
        return false;
    m_sinks.erase(found);
    return true;
}

void EventSource::fire(DispId id, Arguments& arguments) const
{
    // A copy, so that a sink may unadvise itself (or others) while the event runs.
    const std::vector<Sink> sinks = m_sinks;
    for (const Sink& sink : sinks) {
        try {
            sink.object->invoke(id, InvokeKind::Method, arguments);
        } catch (const AutomationError&) {
        }
    }
}

} // namespace automation
