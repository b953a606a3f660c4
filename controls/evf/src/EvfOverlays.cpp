// The live-view overlays: the zoom rectangle, inverted over the frame, and the camera's
// autofocus frames, coloured by their state; drawn into the frame before it is turned, so
// they turn with it.
//
// Threading: window thread only (the frame message); the focus information is read from a
// snapshot taken under the box's focus-information lock.
#include "controls/EvfPictureBox.h"

#include <imaging/DispIds.h>
#include <imaging/ImageCtrl.h>

#include <algorithm>

namespace controls {
namespace {

// Colours are 0x00BBGGRR.
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t focusedColor = 0x00FF00;     // selected and in focus: green
constexpr uint32_t selectedColor = 0x808080;    // selected, not in focus: grey
constexpr uint32_t unselectedColor = 0x000080;  // not selected: dark red

uint32_t focusPointColor(const CamFocusPoint& point)
{
    if (point.selected == 1) {
        return (point.justFocus & 1u) != 0 ? focusedColor : selectedColor;
    }
    return unselectedColor;
}

} // namespace

void CEvfPictureBox::ToDrawing(float x, float y, float& drawX, float& drawY)
{
    m_imaging->PixelToDrawing(x, y);
    drawX = m_imaging->GetDrawX();
    drawY = m_imaging->GetDrawY();
}

void CEvfPictureBox::DrawOverlays(float left, float top, float right, float bottom, CamSize coordinateSystem)
{
    const float width = m_imaging->GetImageWidth();
    const float height = m_imaging->GetImageHeight();
    if (!m_overlayEnabled) {
        return;
    }
    DrawZoomRectangle(left, top, right, bottom, width / static_cast<float>(coordinateSystem.width),
                      height / static_cast<float>(coordinateSystem.height));

    {
        std::lock_guard guard(m_focusInfoMutex);
        *m_drawnFocusInfo = *m_focusInfo;
    }
    const CamFocusInfo& focusInfo = *m_drawnFocusInfo;
    // A camera never reports more points than the record holds; a larger count would read
    // past them.
    const uint32_t pointCount = std::min<uint32_t>(focusInfo.pointNumber, CAM_MAX_FOCUS_POINTS);
    for (uint32_t i = 0; i < pointCount; ++i) {
        if (focusInfo.focusPoint[i].valid == 1) {
            DrawFocusPoint(focusInfo.focusPoint[i], focusInfo.imageRect, width, height);
        }
    }
}

void CEvfPictureBox::DrawZoomRectangle(float left, float top, float right, float bottom, float scaleX, float scaleY)
{
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    ToDrawing(left * scaleX, top * scaleY, x1, y1);
    ToDrawing(right * scaleX, bottom * scaleY, x2, y2);
    m_imaging->SetDrawWidth(1);
    m_imaging->SetDrawStyle(1);
    m_imaging->SetDrawColor(white);
    m_imaging->SetDrawRasterOp(imaging::rasterop::Invert);
    m_imaging->DrawRectangle(x1, y1, x2 - x1, y2 - y1);
    m_imaging->SetDrawRasterOp(imaging::rasterop::CopyPen);
}

void CEvfPictureBox::DrawFocusPoint(const CamFocusPoint& point, const CamRect& imageRect, float width, float height)
{
    m_imaging->SetDrawColor(focusPointColor(point));
    if (imageRect.size.width == 0 || imageRect.size.height == 0) {
        return;
    }
    // Points are given in the focus information's own image size; its origin plays no part.
    const float scaleX = width / static_cast<float>(imageRect.size.width);
    const float scaleY = height / static_cast<float>(imageRect.size.height);
    const auto x = static_cast<float>(point.rect.point.x);
    const auto y = static_cast<float>(point.rect.point.y);
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    ToDrawing(x * scaleX, y * scaleY, x1, y1);
    ToDrawing((x + static_cast<float>(point.rect.size.width)) * scaleX,
              (y + static_cast<float>(point.rect.size.height)) * scaleY, x2, y2);
    const float w = x2 - x1;
    const float h = y2 - y1;
    if (m_autofocusMode.load() != faceDetectionMode) {
        m_imaging->DrawRectangle(x1, y1, w, h);
        return;
    }
    // Face detection: only the four corners, each side a quarter of its length.
    m_imaging->DrawLine(x1, y1, x1 + w / 4, y1);
    m_imaging->DrawLine(x1, y1, x1, y1 + h / 4);
    m_imaging->DrawLine(x2, y1, x2 - w / 4, y1);
    m_imaging->DrawLine(x2, y1, x2, y1 + h / 4);
    m_imaging->DrawLine(x2, y2, x2, y2 - h / 4);
    m_imaging->DrawLine(x2, y2, x2 - w / 4, y2);
    m_imaging->DrawLine(x1, y2, x1 + w / 4, y2);
    m_imaging->DrawLine(x1, y2, x1, y2 - h / 4);
}

} // namespace controls
