// Reading the object set a host got back from an acquisition: how many objects it holds and
// where each one's file is.
//
// Threading: UI thread, like the acquisition that filled the set.
#pragma once

#include <automation/Dispatch.h>

#include <cstdint>
#include <string>

namespace capture_test {

inline int32_t objectCount(const automation::Variant& objectSet)
{
    return automation::invokeByName(*objectSet.toDispatch(), "Count", automation::InvokeKind::PropertyGet).toInt32();
}

// The file of the object at a one-based index.
inline std::string objectFilePath(const automation::Variant& objectSet, int32_t index)
{
    const automation::DispatchPtr object = automation::invokeByName(*objectSet.toDispatch(), "Item",
                                                                    automation::InvokeKind::PropertyGet,
                                                                    {automation::Variant(index)})
                                               .toDispatch();
    return automation::invokeByName(*object, "FilePath", automation::InvokeKind::PropertyGet).toString();
}

} // namespace capture_test
