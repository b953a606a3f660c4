// clsObjSrcCapture, the host's object source for the tethered camera: it implements the
// host's clsObjectSrc and its own _clsObjSrcCapture (the view name), and forwards
// configuration and acquisition to its one acquisition form.
//
// Threading: created and called on the host's user-interface thread.
#pragma once

#include "hostapi/ObjectSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace adapter {

class frmObjSrcCapture;

class clsObjSrcCapture final : public host::ObjectSource {
public:
    clsObjSrcCapture();
    ~clsObjSrcCapture() override;

protected:
    automation::DispatchPtr LastError() override;
    bool Acquire(automation::Variant& objectSet, bool multiMode) override;
    bool SetConfig(automation::DispatchPtr config, std::string parentGroupId) override;
    int16_t WhiteBalance() override;
    void SetWhiteBalance(int16_t value) override;

private:
    // The form, created on first use; its settings survive from one call to the next.
    frmObjSrcCapture& form();

    int16_t m_whiteBalance = 0;
    std::string m_imageView;
    std::unique_ptr<frmObjSrcCapture> m_form;
};

} // namespace adapter
