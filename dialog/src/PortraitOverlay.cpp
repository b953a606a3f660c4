// The portrait checks' drawing over the preview. Picture pixels are placed where the imaging
// widget shows them (its own mapping), so the drawing follows the picture's fit in the window.
//
// Threading: UI thread.
#include "PortraitOverlay.h"

#include <imaging/ImageCtrl.h>
#include <imaging/ImagingWidget.h>

#include <QEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace dialog {
namespace {

const QColor kPassColour(40, 200, 70);
const QColor kFailColour(240, 150, 0);
const QColor kGuideColour(80, 170, 255);

bool passed(const portrait::PortraitReport& report, std::initializer_list<portrait::Check> checks)
{
    return std::all_of(report.findings.begin(), report.findings.end(), [&](const portrait::Finding& finding) {
        return finding.passed || std::find(checks.begin(), checks.end(), finding.check) == checks.end();
    });
}

} // namespace

PortraitOverlay::PortraitOverlay(imaging::CImageCtrl* preview) : QWidget(preview), m_preview(preview)
{
    setObjectName(QStringLiteral("portraitOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(preview->rect());
    preview->installEventFilter(this);
    hide();
}

void PortraitOverlay::showReport(const portrait::PortraitReport& report, const portrait::PortraitLimits& limits,
                                 bool checkedFace)
{
    m_report = report;
    m_limits = limits;
    m_checkedFace = checkedFace;
    m_hasReport = true;
    setGeometry(m_preview->rect());
    raise();
    show();
    update();
}

void PortraitOverlay::clear()
{
    m_hasReport = false;
    m_report = {};
    hide();
}

bool PortraitOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_preview && event->type() == QEvent::Resize) {
        setGeometry(m_preview->rect());
    }
    return QWidget::eventFilter(watched, event);
}

void PortraitOverlay::paintEvent(QPaintEvent*)
{
    imaging::ImagingWidget& shown = m_preview->control();
    const float width = shown.imageWidth();
    const float height = shown.imageHeight();
    if (!m_hasReport || width <= 0 || height <= 0) {
        return;
    }
    const auto at = [&](double x, double y) {
        shown.pixelToDrawing(static_cast<float>(x), static_cast<float>(y));
        return QPointF(shown.drawX(), shown.drawY());
    };
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QPen guide(kGuideColour, 1, Qt::DashLine);
    painter.setPen(guide);
    painter.drawLine(at(width / 2.0, 0), at(width / 2.0, height));
    if (m_checkedFace) {
        // The band the eyes should lie in, edged above and below.
        const QRectF band(at(0, height * m_limits.eyeLineMin / 100.0), at(width, height * m_limits.eyeLineMax / 100.0));
        painter.fillRect(band, QColor(kGuideColour.red(), kGuideColour.green(), kGuideColour.blue(), 40));
        painter.drawLine(band.topLeft(), band.topRight());
        painter.drawLine(band.bottomLeft(), band.bottomRight());
    }
    if (m_report.face) {
        using portrait::Check;
        const portrait::Rectangle& face = *m_report.face;
        const bool faceFine = passed(m_report, {Check::FaceHeight, Check::FaceCentre, Check::Sharpness,
                                                Check::Brightness, Check::Highlights, Check::Shadows});
        painter.setPen(QPen(faceFine ? kPassColour : kFailColour, 2));
        painter.drawRect(QRectF(at(face.x, face.y), at(face.x + face.width, face.y + face.height)));
        if (m_report.eyeLine) {
            painter.setPen(QPen(passed(m_report, {Check::EyeLine}) ? kPassColour : kFailColour, 2));
            painter.drawLine(at(face.x, *m_report.eyeLine), at(face.x + face.width, *m_report.eyeLine));
        }
    }
}

} // namespace dialog
