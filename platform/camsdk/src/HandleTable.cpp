// Handle ids: increasing numbers that are never reused within the process.
// Threading: guarded by the SDK's state lock.
#include "HandleTable.h"

namespace camsdk::detail {

CamBaseRef HandleTable::add(HandleObject object)
{
    const uintptr_t id = m_nextId;
    m_nextId += 2;
    m_objects.emplace(id, std::move(object));
    return reinterpret_cast<CamBaseRef>(id);
}

HandleObject* HandleTable::find(CamBaseRef ref)
{
    const auto found = m_objects.find(reinterpret_cast<uintptr_t>(ref));
    return found == m_objects.end() ? nullptr : &found->second;
}

bool HandleTable::release(CamBaseRef ref)
{
    return m_objects.erase(reinterpret_cast<uintptr_t>(ref)) == 1;
}

} // namespace camsdk::detail
