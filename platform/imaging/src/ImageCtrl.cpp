// CImageCtrl: the typed wrapper that calls the imaging widget by DISPID.
#include "imaging/ImageCtrl.h"

#include "imaging/ImagingWidget.h"

#include <new>

namespace imaging {

using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

namespace {

Variant text(const QString& value) { return Variant(value.toStdString()); }

} // namespace

CImageCtrl::CImageCtrl(QWidget* parent, const QRect& geometry, int id)
    : QWidget(parent), m_id(id), m_control(new ImagingWidget(this))
{
    setObjectName(QStringLiteral("item%1").arg(id));
    setGeometry(geometry);
    m_control->setGeometry(rect());
    connect(m_control, &ImagingWidget::progress, this, &CImageCtrl::progress);
}

CImageCtrl::~CImageCtrl() = default;

automation::DispatchPtr CImageCtrl::dispatch() const
{
    return m_control->dispatch();
}

Variant CImageCtrl::invoke(automation::DispId id, InvokeKind kind, Arguments& arguments)
{
    return m_control->invoke(id, kind, arguments);
}

void CImageCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_control->setGeometry(rect());
}

int16_t CImageCtrl::callMethod(automation::DispId id, Arguments arguments)
{
    try {
        return m_control->invoke(id, InvokeKind::Method, arguments).toInt16();
    } catch (const automation::AutomationError&) {
        return status::InvalidArgument;
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory;
    } catch (...) {
        return status::InternalError;
    }
}

Variant CImageCtrl::getProperty(automation::DispId id)
{
    try {
        Arguments none;
        return m_control->invoke(id, InvokeKind::PropertyGet, none);
    } catch (...) {
        return {};
    }
}

void CImageCtrl::putProperty(automation::DispId id, Variant value)
{
    try {
        Arguments arguments{std::move(value)};
        m_control->invoke(id, InvokeKind::PropertyPut, arguments);
    } catch (...) {
        // A put the widget refuses leaves the setting as it was.
    }
}

int16_t CImageCtrl::LoadFile(const QString& path, int16_t bitsPerPixel, int32_t firstPage, int32_t pageCount)
{
    return callMethod(dispid::LoadFile, {text(path), Variant(bitsPerPixel), Variant(firstPage), Variant(pageCount)});
}

int16_t CImageCtrl::LoadMemory(const void* address, int16_t bitsPerPixel, int32_t firstPage, int32_t pageCount,
                               int32_t size)
{
    try {
        const automation::DispatchPtr block = automation::makeRef<MemoryBlock>(address);
        return callMethod(dispid::LoadMemory,
                          {Variant(block), Variant(bitsPerPixel), Variant(firstPage), Variant(pageCount), Variant(size)});
    } catch (...) {
        return status::OutOfMemory;
    }
}

int16_t CImageCtrl::SaveFile(const QString& path, int16_t fileFormat, int16_t bitsPerPixel, int16_t quality,
                             int16_t multiPage)
{
    return callMethod(dispid::SaveFile,
                      {text(path), Variant(fileFormat), Variant(bitsPerPixel), Variant(quality), Variant(multiPage)});
}

int16_t CImageCtrl::Rotate(int16_t angle)
{
    return callMethod(dispid::Rotate, {Variant(angle)});
}

int16_t CImageCtrl::Resize(float width, float height, int16_t flags)
{
    return callMethod(dispid::Resize, {Variant(width), Variant(height), Variant(flags)});
}

int16_t CImageCtrl::Redisplay()
{
    return callMethod(dispid::Redisplay, {});
}

Variant CImageCtrl::GetCommentField(const QString& path, int32_t page, int16_t fieldIndex)
{
    try {
        Arguments arguments{text(path), Variant(page), Variant(fieldIndex)};
        return m_control->invoke(dispid::GetCommentField, InvokeKind::Method, arguments);
    } catch (...) {
        return {};
    }
}

void CImageCtrl::SetCommentField(int16_t fieldIndex, const Variant& value)
{
    try {
        Arguments arguments{Variant(fieldIndex), value};
        m_control->invoke(dispid::CommentField, InvokeKind::PropertyPut, arguments);
    } catch (...) {
        // A value the field cannot take leaves the field as it was.
    }
}

int16_t CImageCtrl::DrawRectangle(float left, float top, float width, float height)
{
    return callMethod(dispid::DrawRectangle, {Variant(left), Variant(top), Variant(width), Variant(height)});
}

int16_t CImageCtrl::DrawLine(float x1, float y1, float x2, float y2)
{
    return callMethod(dispid::DrawLine, {Variant(x1), Variant(y1), Variant(x2), Variant(y2)});
}

int16_t CImageCtrl::PixelToDrawing(float x, float y)
{
    return callMethod(dispid::PixelToDrawing, {Variant(x), Variant(y)});
}

namespace {

float asFloat(const Variant& value)
{
    try {
        return value.isEmpty() ? 0.0F : static_cast<float>(value.toDouble());
    } catch (...) {
        return 0.0F;
    }
}

} // namespace

float CImageCtrl::GetDrawX() { return asFloat(getProperty(dispid::DrawX)); }
float CImageCtrl::GetDrawY() { return asFloat(getProperty(dispid::DrawY)); }
float CImageCtrl::GetImageWidth() { return asFloat(getProperty(dispid::ImageWidth)); }
float CImageCtrl::GetImageHeight() { return asFloat(getProperty(dispid::ImageHeight)); }

int16_t CImageCtrl::GetExifOrientation()
{
    try {
        const Variant value = getProperty(dispid::ExifOrientation);
        return value.isEmpty() ? int16_t{0} : value.toInt16();
    } catch (...) {
        return 0;
    }
}

int32_t CImageCtrl::GetImageHandle()
{
    try {
        const Variant value = getProperty(dispid::ImageHandle);
        return value.isEmpty() ? 0 : value.toInt32();
    } catch (...) {
        return 0;
    }
}

void CImageCtrl::SetImageHandle(int32_t handle) { putProperty(dispid::ImageHandle, Variant(handle)); }
void CImageCtrl::SetAutoRepaint(bool on) { putProperty(dispid::AutoRepaint, Variant(on)); }
void CImageCtrl::SetProgressEvents(bool on) { putProperty(dispid::ProgressEvents, Variant(on)); }
void CImageCtrl::SetFieldsFromFile(bool on) { putProperty(dispid::FieldsFromFile, Variant(on)); }
void CImageCtrl::SetDisplayFilter(int16_t filter) { putProperty(dispid::DisplayFilter, Variant(filter)); }
void CImageCtrl::SetFitMode(int16_t mode) { putProperty(dispid::FitMode, Variant(mode)); }
void CImageCtrl::SetDrawingEnabled(bool on) { putProperty(dispid::DrawingEnabled, Variant(on)); }
void CImageCtrl::SetDrawRasterOp(int16_t op) { putProperty(dispid::DrawRasterOp, Variant(op)); }
void CImageCtrl::SetDrawColor(uint32_t color) { putProperty(dispid::DrawColor, Variant(static_cast<int32_t>(color))); }
void CImageCtrl::SetDrawWidth(int16_t width) { putProperty(dispid::DrawWidth, Variant(width)); }
void CImageCtrl::SetDrawFillStyle(int16_t style) { putProperty(dispid::DrawFillStyle, Variant(style)); }
void CImageCtrl::SetDrawStyle(int16_t style) { putProperty(dispid::DrawStyle, Variant(style)); }
void CImageCtrl::SetBusyCursor(bool on) { putProperty(dispid::BusyCursor, Variant(on)); }
void CImageCtrl::SetMousePointer(int16_t pointer) { putProperty(dispid::MousePointer, Variant(pointer)); }
void CImageCtrl::SetDefaultFileFormat(int16_t format) { putProperty(dispid::DefaultFileFormat, Variant(format)); }
void CImageCtrl::SetKeepAspect(bool on) { putProperty(dispid::KeepAspect, Variant(on)); }
void CImageCtrl::SetBackColor(uint32_t color) { putProperty(dispid::BackColor, Variant(static_cast<int32_t>(color))); }
void CImageCtrl::SetBorderStyle(int16_t style) { putProperty(dispid::BorderStyle, Variant(style)); }

} // namespace imaging
