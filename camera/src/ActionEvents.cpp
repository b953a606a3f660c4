// Action sources and their listeners.
//
// Threading: see ActionEvents.h.
#include "camera/ActionEvents.h"

#include <algorithm>

namespace camera {

void ActionSource::addActionListener(ActionListener* listener)
{
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
        m_listeners.push_back(listener);
    }
}

void ActionSource::fireAction(void* argument)
{
    fireAction(m_command, argument);
}

void ActionSource::fireAction(const std::string& command, void* argument)
{
    const ActionEvent event(command, argument);
    for (ActionListener* listener : m_listeners) {
        listener->actionPerformed(event);
    }
}

} // namespace camera
