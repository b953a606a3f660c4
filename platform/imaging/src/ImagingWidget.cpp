// The imaging widget: operations at the widget boundary (every failure becomes a status),
// drawing into the picture, the display mapping and painting.
#include "imaging/ImagingWidget.h"

#include "ImageDocument.h"
#include "ImagingDispatch.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>
#include <new>

namespace imaging {
namespace {

// Drawing coordinates beyond this are refused rather than handed to the rasterizer.
constexpr float kMaxDrawingCoordinate = 1.0e7F;

template <class Operation>
int16_t guarded(const Operation& operation) noexcept
{
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory;
    } catch (...) {
        return status::InternalError;
    }
}

class BusyCursorScope final {
public:
    explicit BusyCursorScope(bool on) : m_on(on)
    {
        if (m_on)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursorScope()
    {
        if (m_on)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursorScope(const BusyCursorScope&) = delete;
    BusyCursorScope& operator=(const BusyCursorScope&) = delete;

private:
    bool m_on;
};

bool usable(float value) { return std::isfinite(value) && std::fabs(value) <= kMaxDrawingCoordinate; }

// A colour value 0x00BBGGRR, or with the high bit set a system colour by index.
QColor toColor(uint32_t value, const QPalette& palette)
{
    if ((value & 0x80000000u) != 0) {
        switch (value & 0xFFu) {
        case 5:
            return palette.color(QPalette::Base);
        case 8:
            return palette.color(QPalette::Text);
        case 15:
            return palette.color(QPalette::Button);
        case 18:
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

Qt::CursorShape cursorFor(int16_t pointer)
{
    switch (pointer) {
    case 1:
        return Qt::ArrowCursor;
    case 2:
        return Qt::CrossCursor;
    case 3:
        return Qt::PointingHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

// Image pixels to widget (drawing) coordinates: widget = offset + pixel * scale.
struct ImagingWidget::Mapping {
    double offsetX = 0;
    double offsetY = 0;
    double scaleX = 1;
    double scaleY = 1;

    QPointF toDrawing(double x, double y) const { return {offsetX + x * scaleX, offsetY + y * scaleY}; }
    QPointF toPixel(double x, double y) const { return {(x - offsetX) / scaleX, (y - offsetY) / scaleY}; }
};

ImagingWidget::ImagingWidget(QWidget* parent)
    : QWidget(parent), m_document(std::make_unique<ImageDocument>()),
      m_dispatch(automation::makeRef<ImagingDispatch>(*this))
{
    quietExifLibrary();
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ImagingWidget::~ImagingWidget()
{
    m_dispatch->detach();
}

automation::DispatchPtr ImagingWidget::dispatch() const
{
    return automation::DispatchPtr(m_dispatch);
}

automation::Variant ImagingWidget::invoke(automation::DispId id, automation::InvokeKind kind,
                                          automation::Arguments& arguments)
{
    return m_dispatch->invoke(id, kind, arguments);
}

QImage ImagingWidget::picture()
{
    if (guarded([&] { return m_document->applyPending(); }) != status::Ok)
        return {};
    const QImage* pixels = m_document->pixels();
    return pixels ? *pixels : QImage();
}

void ImagingWidget::raiseProgress(int16_t percent)
{
    if (!m_settings.progressEvents)
        return;
    emit progress(percent);
    automation::Arguments arguments{automation::Variant(percent)};
    m_events.fire(dispid::ProgressEvent, arguments);
}

void ImagingWidget::changed()
{
    if (m_settings.autoRepaint)
        update();
}

int16_t ImagingWidget::loadFile(const QString& path, int16_t bitsPerPixel, int32_t firstPage, int32_t pageCount)
{
    const int16_t result = guarded([&] {
        const BusyCursorScope busy(m_settings.busyCursor);
        ImageDocument::LoadOptions options{bitsPerPixel, firstPage, pageCount, m_settings.fieldsFromFile};
        return m_document->loadFile(path, options, [this](int16_t percent) { raiseProgress(percent); });
    });
    if (result != status::Ok && result != status::Unsupported)
        m_document->clear();
    changed();
    return result;
}

int16_t ImagingWidget::loadMemory(const void* address, int16_t bitsPerPixel, int32_t firstPage, int32_t pageCount,
                                  int32_t size)
{
    if (!address || size <= 0)
        return status::InvalidArgument;
    const int16_t result = guarded([&] {
        ImageDocument::LoadOptions options{bitsPerPixel, firstPage, pageCount, false};
        return m_document->loadMemory(static_cast<const uint8_t*>(address), static_cast<std::size_t>(size), options);
    });
    if (result != status::Ok && result != status::Unsupported)
        m_document->clear();
    changed();
    return result;
}

int16_t ImagingWidget::saveFile(const QString& path, int16_t fileFormat, int16_t bitsPerPixel, int16_t quality,
                                int16_t multiPage)
{
    if ((bitsPerPixel != 0 && bitsPerPixel != 24) || multiPage != 0)
        return status::Unsupported;
    const int16_t format = fileFormat == 0 ? m_settings.defaultFileFormat : fileFormat;
    return guarded([&] {
        const BusyCursorScope busy(m_settings.busyCursor);
        return m_document->save(path, format, quality, [this](int16_t percent) { raiseProgress(percent); });
    });
}

int16_t ImagingWidget::rotate(int16_t angle)
{
    const int16_t result = guarded([&] { return m_document->rotate(angle); });
    changed();
    return result;
}

int16_t ImagingWidget::resize(float width, float height, int16_t flags)
{
    if (!std::isfinite(width) || !std::isfinite(height) || width < 0 || height < 0 || width > 1.0e6F || height > 1.0e6F)
        return status::InvalidArgument;
    const QSize target(std::max(1, static_cast<int>(std::lround(width))), std::max(1, static_cast<int>(std::lround(height))));
    const bool smooth = (flags & 2) != 0;
    const int16_t result = guarded([&] { return m_document->resize(target, smooth); });
    changed();
    return result;
}

int16_t ImagingWidget::redisplay()
{
    update();
    return status::Ok;
}

automation::Variant ImagingWidget::commentField(const QString& path, int32_t page, int16_t fieldIndex)
{
    if (page != 0 || fieldIndex < 0 || fieldIndex >= CommentFieldCount)
        return {};
    try {
        const auto summary = ExifCache::instance().forFile(path);
        return summary ? summary->fields[static_cast<std::size_t>(fieldIndex)] : automation::Variant();
    } catch (...) {
        return {};
    }
}

void ImagingWidget::setCommentField(int16_t fieldIndex, const automation::Variant& value)
{
    guarded([&] {
        m_document->setField(fieldIndex, value);
        return status::Ok;
    });
}

QRect ImagingWidget::imageArea() const
{
    QRect content = rect();
    if (m_settings.borderStyle != 0)
        content.adjust(1, 1, -1, -1);
    const QSize image = m_document->size();
    if (image.isEmpty() || content.isEmpty())
        return {};
    QSize shown = image;
    if (m_settings.fitMode != 0)
        shown = image.scaled(content.size(), m_settings.keepAspect ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio);
    shown = shown.expandedTo(QSize(1, 1));
    return QRect(content.x() + (content.width() - shown.width()) / 2,
                 content.y() + (content.height() - shown.height()) / 2, shown.width(), shown.height());
}

ImagingWidget::Mapping ImagingWidget::mapping() const
{
    const QRect area = imageArea();
    const QSize image = m_document->size();
    if (area.isEmpty() || image.isEmpty())
        return {};
    return Mapping{static_cast<double>(area.x()), static_cast<double>(area.y()),
                   static_cast<double>(area.width()) / image.width(),
                   static_cast<double>(area.height()) / image.height()};
}

int16_t ImagingWidget::pixelToDrawing(float x, float y)
{
    if (!std::isfinite(x) || !std::isfinite(y))
        return status::InvalidArgument;
    const QPointF drawing = mapping().toDrawing(x, y);
    m_drawX = static_cast<float>(drawing.x());
    m_drawY = static_cast<float>(drawing.y());
    return m_document->isLoaded() ? status::Ok : status::NoImage;
}

template <class Draw>
int16_t ImagingWidget::drawOnPicture(const Draw& draw)
{
    if (!m_settings.drawingEnabled)
        return status::DrawingDisabled;
    const int16_t result = guarded([&] {
        const Mapping toWidget = mapping();
        const int16_t applied = m_document->applyPending();
        if (applied != status::Ok)
            return applied;
        QImage* pixels = m_document->pixels();
        if (!pixels)
            return status::NoImage;
        QPainter painter(pixels);
        painter.setRenderHint(QPainter::Antialiasing, false);
        QColor color = toColor(m_settings.drawColor, palette());
        QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
        switch (m_settings.drawRasterOp) {
        case rasterop::Black:
            color = Qt::black;
            break;
        case rasterop::White:
            color = Qt::white;
            break;
        case rasterop::NotCopyPen:
            mode = QPainter::RasterOp_NotSource;
            break;
        case rasterop::Invert:
            mode = QPainter::RasterOp_NotDestination;
            break;
        case rasterop::XorPen:
            mode = QPainter::RasterOp_SourceXorDestination;
            break;
        default:
            break;
        }
        painter.setCompositionMode(mode);
        const double averageScale = (toWidget.scaleX + toWidget.scaleY) / 2;
        const double penWidth = std::max(1.0, std::max<int>(1, m_settings.drawWidth) / averageScale);
        QPen pen(color, std::round(penWidth));
        pen.setStyle(m_settings.drawStyle == 2 ? Qt::DashLine : m_settings.drawStyle == 3 ? Qt::DotLine : Qt::SolidLine);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        draw(painter, toWidget, color);
        painter.end();
        m_document->markChanged();
        return status::Ok;
    });
    changed();
    return result;
}

int16_t ImagingWidget::drawRectangle(float left, float top, float width, float height)
{
    if (!usable(left) || !usable(top) || !usable(width) || !usable(height))
        return status::InvalidArgument;
    if (!m_document->isLoaded())
        return status::NoImage;
    const bool filled = m_settings.drawFillStyle == 1;
    return drawOnPicture([&](QPainter& painter, const Mapping& toWidget, const QColor& color) {
        const QPointF corner1 = toWidget.toPixel(left, top);
        const QPointF corner2 = toWidget.toPixel(static_cast<double>(left) + width, static_cast<double>(top) + height);
        const QRectF rectangle = QRectF(corner1, corner2).normalized();
        if (filled) {
            // One pass over the outline and the inside, so that inverting never undoes itself.
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawRect(rectangle.adjusted(0, 0, 1, 1));
        } else {
            painter.drawRect(rectangle);
        }
    });
}

int16_t ImagingWidget::drawLine(float x1, float y1, float x2, float y2)
{
    if (!usable(x1) || !usable(y1) || !usable(x2) || !usable(y2))
        return status::InvalidArgument;
    if (!m_document->isLoaded())
        return status::NoImage;
    return drawOnPicture([&](QPainter& painter, const Mapping& toWidget, const QColor&) {
        painter.drawLine(QLineF(toWidget.toPixel(x1, y1), toWidget.toPixel(x2, y2)));
    });
}

float ImagingWidget::imageWidth() const
{
    return static_cast<float>(m_document->size().width());
}

float ImagingWidget::imageHeight() const
{
    return static_cast<float>(m_document->size().height());
}

int16_t ImagingWidget::exifOrientation()
{
    return guarded([&] { return m_document->exifOrientation(); });
}

int32_t ImagingWidget::imageHandle() const
{
    return m_document->handle();
}

void ImagingWidget::setImageHandle(int32_t handle)
{
    if (handle != 0)
        return;
    m_document->clear();
    update();
}

void ImagingWidget::setSettings(const Settings& settings)
{
    const bool cursorChanged = settings.mousePointer != m_settings.mousePointer;
    m_settings = settings;
    if (cursorChanged) {
        if (m_settings.mousePointer == 0)
            unsetCursor();
        else
            setCursor(cursorFor(m_settings.mousePointer));
    }
    update();
}

const QImage* ImagingWidget::shownImage(QSize size)
{
    if (!m_document->isLoaded() || size.isEmpty())
        return nullptr;
    const bool smooth = m_settings.displayFilter != 0;
    if (!m_shown.isNull() && m_shownRevision == m_document->revision() && m_shown.size() == size
        && m_shownSmooth == smooth)
        return &m_shown;
    if (m_document->applyPending() != status::Ok)
        return nullptr;
    const QImage* pixels = m_document->pixels();
    if (!pixels)
        return nullptr;
    m_shown = pixels->size() == size
                  ? *pixels
                  : pixels->scaled(size, Qt::IgnoreAspectRatio, smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
    m_shownRevision = m_document->revision();
    m_shownSmooth = smooth;
    return m_shown.isNull() ? nullptr : &m_shown;
}

void ImagingWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), toColor(m_settings.backColor, palette()));
    const QRect area = imageArea();
    const QImage* shown = nullptr;
    try {
        shown = shownImage(area.size());
    } catch (...) {
        shown = nullptr;
    }
    if (shown)
        painter.drawImage(area.topLeft(), *shown);
    if (m_settings.borderStyle != 0) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace imaging
