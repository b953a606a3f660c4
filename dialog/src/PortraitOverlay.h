// What the portrait checks found, drawn over the capture dialog's preview: the face box, a
// vertical line at the picture's centre, the band the eyes should lie in and the eye line
// found. The overlay is a transparent child of the preview window; it never draws into the
// picture, so nothing of it is saved.
//
// Threading: UI thread.
#pragma once

#include <portrait/PortraitCheck.h>

#include <QWidget>

namespace imaging {
class CImageCtrl;
}

namespace dialog {

class PortraitOverlay final : public QWidget {
    Q_OBJECT

public:
    // Covers `preview` and follows its size.
    explicit PortraitOverlay(imaging::CImageCtrl* preview);

    // Shows what the report found for the picture the preview shows; `checkedFace` tells
    // whether the face was looked for at all (nothing but the centre line is drawn if not).
    void showReport(const portrait::PortraitReport& report, const portrait::PortraitLimits& limits, bool checkedFace);
    void clear();
    bool hasReport() const { return m_hasReport; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    imaging::CImageCtrl* m_preview;
    portrait::PortraitReport m_report;
    portrait::PortraitLimits m_limits;
    bool m_checkedFace = false;
    bool m_hasReport = false;
};

} // namespace dialog
