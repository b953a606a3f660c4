// The member table of the imaging widget. Argument conversions that fail raise the automation
// layer's type-mismatch and overflow errors; the operations themselves report statuses.
#include "ImagingDispatch.h"

#include "imaging/ImagingWidget.h"

#include <QString>

namespace imaging {
namespace {

using automation::Arguments;
using automation::InvokeKind;
using automation::Variant;

QString text(const Variant& value) { return QString::fromStdString(value.toString()); }
float number(const Variant& value) { return static_cast<float>(value.toDouble()); }
uint32_t colour(const Variant& value) { return static_cast<uint32_t>(value.toInt32()); }

struct BoolSetting {
    automation::DispId id;
    const char* name;
    bool ImagingWidget::Settings::*field;
};
struct ShortSetting {
    automation::DispId id;
    const char* name;
    int16_t ImagingWidget::Settings::*field;
};
struct ColourSetting {
    automation::DispId id;
    const char* name;
    uint32_t ImagingWidget::Settings::*field;
};

using S = ImagingWidget::Settings;

constexpr BoolSetting kBoolSettings[] = {
    {dispid::AutoRepaint, "AutoRepaint", &S::autoRepaint},
    {dispid::ProgressEvents, "ProgressEvents", &S::progressEvents},
    {dispid::FieldsFromFile, "FieldsFromFile", &S::fieldsFromFile},
    {dispid::DrawingEnabled, "DrawingEnabled", &S::drawingEnabled},
    {dispid::BusyCursor, "BusyCursor", &S::busyCursor},
    {dispid::KeepAspect, "KeepAspect", &S::keepAspect},
};
constexpr ShortSetting kShortSettings[] = {
    {dispid::DisplayFilter, "DisplayFilter", &S::displayFilter},
    {dispid::FitMode, "FitMode", &S::fitMode},
    {dispid::DrawRasterOp, "DrawRasterOp", &S::drawRasterOp},
    {dispid::DrawWidth, "DrawWidth", &S::drawWidth},
    {dispid::DrawFillStyle, "DrawFillStyle", &S::drawFillStyle},
    {dispid::DrawStyle, "DrawStyle", &S::drawStyle},
    {dispid::MousePointer, "MousePointer", &S::mousePointer},
    {dispid::DefaultFileFormat, "DefaultFileFormat", &S::defaultFileFormat},
    {dispid::BorderStyle, "BorderStyle", &S::borderStyle},
};
constexpr ColourSetting kColourSettings[] = {
    {dispid::DrawColor, "DrawColor", &S::drawColor},
    {dispid::BackColor, "BackColor", &S::backColor},
};

} // namespace

ImagingDispatch::ImagingDispatch(ImagingWidget& widget) : m_widget(&widget)
{
    addInterface("IImagingControl");
    addMethods();
    addProperties();
    addSettings();
}

ImagingWidget& ImagingDispatch::widget() const
{
    if (!m_widget)
        throw automation::AutomationError(automation::E_UNEXPECTED, "The imaging widget no longer exists.");
    return *m_widget;
}

void ImagingDispatch::addMethods()
{
    addMember("LoadFile", dispid::LoadFile, InvokeKind::Method, 4, [this](Arguments& a) {
        return Variant(widget().loadFile(text(a[0]), a[1].toInt16(), a[2].toInt32(), a[3].toInt32()));
    });
    addMember("LoadMemory", dispid::LoadMemory, InvokeKind::Method, 5, [this](Arguments& a) {
        const auto block = a[0].toDispatch();
        const auto* memory = dynamic_cast<const MemoryBlock*>(block.get());
        if (!memory)
            throw automation::AutomationError(automation::DISP_E_TYPEMISMATCH,
                                              "LoadMemory takes the address as a memory block object.");
        return Variant(widget().loadMemory(memory->address(), a[1].toInt16(), a[2].toInt32(), a[3].toInt32(),
                                           a[4].toInt32()));
    });
    addMember("SaveFile", dispid::SaveFile, InvokeKind::Method, 5, [this](Arguments& a) {
        return Variant(
            widget().saveFile(text(a[0]), a[1].toInt16(), a[2].toInt16(), a[3].toInt16(), a[4].toInt16()));
    });
    addMember("Rotate", dispid::Rotate, InvokeKind::Method, 1,
              [this](Arguments& a) { return Variant(widget().rotate(a[0].toInt16())); });
    addMember("Resize", dispid::Resize, InvokeKind::Method, 3, [this](Arguments& a) {
        return Variant(widget().resize(number(a[0]), number(a[1]), a[2].toInt16()));
    });
    addMember("Redisplay", dispid::Redisplay, InvokeKind::Method, 0,
              [this](Arguments&) { return Variant(widget().redisplay()); });
    addMember("GetCommentField", dispid::GetCommentField, InvokeKind::Method, 3, [this](Arguments& a) {
        return widget().commentField(text(a[0]), a[1].toInt32(), a[2].toInt16());
    });
    addMember("DrawRectangle", dispid::DrawRectangle, InvokeKind::Method, 4, [this](Arguments& a) {
        return Variant(widget().drawRectangle(number(a[0]), number(a[1]), number(a[2]), number(a[3])));
    });
    addMember("DrawLine", dispid::DrawLine, InvokeKind::Method, 4, [this](Arguments& a) {
        return Variant(widget().drawLine(number(a[0]), number(a[1]), number(a[2]), number(a[3])));
    });
    addMember("PixelToDrawing", dispid::PixelToDrawing, InvokeKind::Method, 2,
              [this](Arguments& a) { return Variant(widget().pixelToDrawing(number(a[0]), number(a[1]))); });
}

void ImagingDispatch::addProperties()
{
    addMember("ImageHandle", dispid::ImageHandle, InvokeKind::PropertyGet, 0,
              [this](Arguments&) { return Variant(widget().imageHandle()); });
    addMember("ImageHandle", dispid::ImageHandle, InvokeKind::PropertyPut, 1, [this](Arguments& a) {
        widget().setImageHandle(a[0].toInt32());
        return Variant();
    });
    addMember("ImageWidth", dispid::ImageWidth, InvokeKind::PropertyGet, 0,
              [this](Arguments&) { return Variant(widget().imageWidth()); });
    addMember("ImageHeight", dispid::ImageHeight, InvokeKind::PropertyGet, 0,
              [this](Arguments&) { return Variant(widget().imageHeight()); });
    addMember("ExifOrientation", dispid::ExifOrientation, InvokeKind::PropertyGet, 0,
              [this](Arguments&) { return Variant(widget().exifOrientation()); });
    addMember("DrawX", dispid::DrawX, InvokeKind::PropertyGet, 0,
              [this](Arguments&) { return Variant(widget().drawX()); });
    addMember("DrawY", dispid::DrawY, InvokeKind::PropertyGet, 0,
              [this](Arguments&) { return Variant(widget().drawY()); });
    addMember("CommentField", dispid::CommentField, InvokeKind::PropertyPut, 2, [this](Arguments& a) {
        widget().setCommentField(a[0].toInt16(), a[1].value());
        return Variant();
    });
}

void ImagingDispatch::addSettings()
{
    for (const auto& setting : kBoolSettings) {
        addMember(setting.name, setting.id, InvokeKind::PropertyGet, 0,
                  [this, field = setting.field](Arguments&) { return Variant(widget().settings().*field); });
        addMember(setting.name, setting.id, InvokeKind::PropertyPut, 1, [this, field = setting.field](Arguments& a) {
            ImagingWidget::Settings settings = widget().settings();
            settings.*field = a[0].toBool();
            widget().setSettings(settings);
            return Variant();
        });
    }
    for (const auto& setting : kShortSettings) {
        addMember(setting.name, setting.id, InvokeKind::PropertyGet, 0,
                  [this, field = setting.field](Arguments&) { return Variant(widget().settings().*field); });
        addMember(setting.name, setting.id, InvokeKind::PropertyPut, 1, [this, field = setting.field](Arguments& a) {
            ImagingWidget::Settings settings = widget().settings();
            settings.*field = a[0].toInt16();
            widget().setSettings(settings);
            return Variant();
        });
    }
    for (const auto& setting : kColourSettings) {
        addMember(setting.name, setting.id, InvokeKind::PropertyGet, 0, [this, field = setting.field](Arguments&) {
            return Variant(static_cast<int32_t>(widget().settings().*field));
        });
        addMember(setting.name, setting.id, InvokeKind::PropertyPut, 1, [this, field = setting.field](Arguments& a) {
            ImagingWidget::Settings settings = widget().settings();
            settings.*field = colour(a[0]);
            widget().setSettings(settings);
            return Variant();
        });
    }
}

} // namespace imaging
