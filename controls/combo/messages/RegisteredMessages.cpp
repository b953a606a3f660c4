// The process-wide table from message name to registered event type.
//
// Threading: the table is guarded by its own lock; registration happens under it, so two
// threads asking for a new name at once get one type.
#include "controls/RegisteredMessages.h"

#include <map>
#include <mutex>
#include <string>

namespace controls {
namespace {

struct MessageTable {
    std::mutex mutex;
    std::map<std::string, QEvent::Type, std::less<>> types;
};

MessageTable& messageTable()
{
    static MessageTable table;
    return table;
}

} // namespace

QEvent::Type registeredMessage(const char* name)
{
    const std::string_view key = name ? name : "";
    MessageTable& table = messageTable();
    std::lock_guard guard(table.mutex);
    if (auto found = table.types.find(key); found != table.types.end()) {
        return found->second;
    }
    const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    table.types.emplace(std::string(key), type);
    return type;
}

QEvent::Type appMessage(int offset)
{
    const std::string name = "WM_APP+" + std::to_string(offset);
    return registeredMessage(name.c_str());
}

} // namespace controls
