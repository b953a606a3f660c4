// Connection points of automation objects: how a container reaches the event source of an
// object that it created through the class registry, and a connection that advises a sink on
// it for as long as the connection lives.
//
// Threading: used on the thread that owns the object.
#pragma once

#include "automation/Dispatch.h"
#include "automation/Events.h"

#include <cstdint>
#include <string_view>

namespace hosting {

// The interface name an object with connection points answers in supportsInterface.
inline constexpr const char* kConnectionPointContainerInterface = "IConnectionPointContainer";
// The object raises no events of the event interface asked for.
inline constexpr automation::HResult CONNECT_E_NOCONNECTION = automation::hresultFromBits(0x80040200u);

// Implemented by dispatch objects that raise events, next to automation::Dispatch.
class ConnectionPointContainer {
public:
    virtual ~ConnectionPointContainer();
    // The source of the events of the named event interface, or nullptr when the object
    // raises none of them. Event interface names ignore case.
    virtual automation::EventSource* findConnectionPoint(std::string_view eventInterface) = 0;

protected:
    ConnectionPointContainer() = default;
    ConnectionPointContainer(const ConnectionPointContainer&) = default;
    ConnectionPointContainer& operator=(const ConnectionPointContainer&) = default;
};

// The object's connection points; E_NOINTERFACE when it has none.
ConnectionPointContainer& connectionPointsOf(automation::Dispatch& object);

// A sink advised on an object's events, unadvised when the connection goes. The connection
// holds a reference to the object, so the source it is advised on stays alive.
class EventConnection final {
public:
    EventConnection() = default;
    // Raises AutomationError: E_NOINTERFACE for an object without connection points,
    // CONNECT_E_NOCONNECTION when it raises no events of eventInterface, E_POINTER for a
    // missing object or sink.
    EventConnection(automation::DispatchPtr object, std::string_view eventInterface, automation::DispatchPtr sink);
    EventConnection(EventConnection&& other) noexcept;
    EventConnection& operator=(EventConnection&& other) noexcept;
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;
    ~EventConnection() { disconnect(); }

    bool connected() const noexcept { return m_source != nullptr; }
    void disconnect() noexcept;

private:
    automation::DispatchPtr m_object;
    automation::EventSource* m_source = nullptr;
    uint32_t m_cookie = 0;
};

} // namespace hosting
