// Finding an object's connection points and advising a sink on them.
#include "hosting/ConnectionPoints.h"

#include <string>
#include <utility>

namespace hosting {

ConnectionPointContainer::~ConnectionPointContainer() = default;

ConnectionPointContainer& connectionPointsOf(automation::Dispatch& object)
{
    automation::requireInterface(object, kConnectionPointContainerInterface);
    auto* container = dynamic_cast<ConnectionPointContainer*>(&object);
    if (!container)
        throw automation::AutomationError(automation::E_NOINTERFACE, "The object has no connection points.");
    return *container;
}

EventConnection::EventConnection(automation::DispatchPtr object, std::string_view eventInterface, automation::DispatchPtr sink)
{
    if (!object || !sink)
        throw automation::AutomationError(automation::E_POINTER, "No object or no event sink was given.");
    automation::EventSource* source = connectionPointsOf(*object).findConnectionPoint(eventInterface);
    if (!source)
        throw automation::AutomationError(CONNECT_E_NOCONNECTION,
                                          "The object raises no events of " + std::string(eventInterface) + ".");
    m_cookie = source->advise(std::move(sink));
    m_source = source;
    m_object = std::move(object);
}

EventConnection::EventConnection(EventConnection&& other) noexcept
    : m_object(std::move(other.m_object)),
      m_source(std::exchange(other.m_source, nullptr)),
      m_cookie(std::exchange(other.m_cookie, 0))
{
}

EventConnection& EventConnection::operator=(EventConnection&& other) noexcept
{
    if (this != &other) {
        disconnect();
        m_object = std::move(other.m_object);
        m_source = std::exchange(other.m_source, nullptr);
        m_cookie = std::exchange(other.m_cookie, 0);
    }
    return *this;
}

void EventConnection::disconnect() noexcept
{
    if (m_source)
        m_source->unadvise(m_cookie);
    m_source = nullptr;
    m_cookie = 0;
    m_object.reset();
}

} // namespace hosting
