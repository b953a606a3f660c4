// Actions: a short command string with an optional argument, fired by whatever wants the
// camera to do something and handled by its listeners.
//
// Threading: an ActionSource's listeners are added and fired on one thread (its owner's);
// listeners are called on the firing thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace camera {

// The argument is read only while `actionPerformed` runs; listeners copy what they keep.
class ActionEvent {
public:
    ActionEvent(std::string command, void* argument) : m_command(std::move(command)), m_argument(argument) {}
    virtual ~ActionEvent() = default;

    const std::string& command() const { return m_command; }
    void* argument() const { return m_argument; }

private:
    std::string m_command;
    void* m_argument;
};

class ActionListener {
public:
    virtual ~ActionListener() = default;
    virtual void actionPerformed(const ActionEvent& event) = 0;
};

class ActionSource {
public:
    virtual ~ActionSource() = default;

    // Appends the listener unless it is already there.
    void addActionListener(ActionListener* listener);
    void setActionCommand(std::string command) { m_command = std::move(command); }
    const std::string& actionCommand() const { return m_command; }

    // Calls each listener, first added first, with the source's own command or a given one.
    void fireAction(void* argument);
    void fireAction(const std::string& command, void* argument);

private:
    std::vector<ActionListener*> m_listeners;
    std::string m_command;
};

} // namespace camera
