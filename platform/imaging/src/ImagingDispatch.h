// The imaging widget's dispatch interface: the member table from DISPID to the widget's
// operations, with the arguments converted from automation variants.
//
// Threading: called on the user-interface thread, like the widget; only the reference
// count may be touched from elsewhere.
#pragma once

#include "automation/Dispatch.h"

namespace imaging {

class ImagingWidget;

class ImagingDispatch final : public automation::DispatchObject {
public:
    explicit ImagingDispatch(ImagingWidget& widget);
    // The widget is going away: later calls fail with E_UNEXPECTED.
    void detach() { m_widget = nullptr; }

private:
    ImagingWidget& widget() const;
    void addMethods();
    void addProperties();
    void addSettings();

    ImagingWidget* m_widget;
};

} // namespace imaging
