// The camera-setting combo box: label table, allowed-value list, current value and the
// action fired on a choice of the user.
//
// Threading: see PropertyComboBox.h.
#include "controls/PropertyComboBox.h"

#include "controls/RegisteredMessages.h"
#include "controls/WheelNeedsFocus.h"

#include <camera/ActionEvents.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVariant>

#include <algorithm>
#include <optional>

namespace controls {
namespace {

constexpr int valueChangedOffset = 1;
constexpr int allowedValuesChangedOffset = 2;

} // namespace

QEvent::Type CPropertyComboBox::valueChangedMessage()
{
    static const QEvent::Type type = appMessage(valueChangedOffset);
    return type;
}

QEvent::Type CPropertyComboBox::allowedValuesChangedMessage()
{
    static const QEvent::Type type = appMessage(allowedValuesChangedOffset);
    return type;
}

CPropertyComboBox::CPropertyComboBox(CamPropertyID property, QWidget* parent)
    : QComboBox(parent), m_property(property)
{
    // The capture dialog's setting boxes are editable drop-downs whose list is only ever
    // changed by the camera: typing never adds an item.
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // What the operator types is taken as typed: no completion adds characters to it.
    setCompleter(nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_typed = true; });
    connect(this, &QComboBox::activated, this, &CPropertyComboBox::OnSelectionChange);
    // Scrolling the dialog past a setting must not send the camera a new value.
    requireFocusForWheel(this);
}

CPropertyComboBox::~CPropertyComboBox()
{
    QCoreApplication::removePostedEvents(this);
}

bool CPropertyComboBox::HasEntries() const
{
    return m_entryCount > 0;
}

bool CPropertyComboBox::FindValue(const QString& label, uint32_t& value) const
{
    for (const auto& [tableValue, tableLabel] : m_labels) {
        if (label.compare(QLatin1String(tableLabel), Qt::CaseInsensitive) == 0) {
            value = tableValue;
            return true;
        }
    }
    return false;
}

void CPropertyComboBox::UpdateProperty(uint32_t value)
{
    const auto row = m_labels.find(value);
    if (row == m_labels.end()) {
        return;
    }
    // The camera's value replaces whatever the operator was typing.
    m_typed = false;
    m_cameraText = QString::fromLatin1(row->second);
    SetShownText(m_cameraText, findData(QVariant::fromValue(value)));
}

void CPropertyComboBox::UpdatePropertyDesc(const CamPropertyDesc* description)
{
    const QString savedText = shownText();
    std::optional<uint32_t> savedValue;
    if (currentIndex() >= 0) {
        savedValue = itemData(currentIndex()).value<uint32_t>();
    }

    // The list is rebuilt in one go: whoever listens to the box sees the final state only.
    QSignalBlocker blocker(this);
    clear();
    if (description) {
        // A camera never reports more than the record holds; a larger count would read
        // past the values.
        m_entryCount = std::clamp(description->numElements, int32_t{0}, maxEntries);
        for (int32_t i = 0; i < m_entryCount; ++i) {
            const auto value = static_cast<uint32_t>(description->propDesc[i]);
            if (const auto row = m_labels.find(value); row != m_labels.end()) {
                addItem(QString::fromLatin1(row->second), QVariant::fromValue(value));
            }
        }
    } else {
        m_entryCount = 0;
    }

    blocker.unblock();

    // Appending to an empty list selects its first item; the box keeps showing what it
    // showed before, on the same item when that item is still offered.
    int index = savedValue ? findData(QVariant::fromValue(*savedValue)) : -1;
    if (index < 0 || itemText(index) != savedText) {
        index = findText(savedText, Qt::MatchExactly | Qt::MatchCaseSensitive);
    }
    SetShownText(savedText, index);
}

void CPropertyComboBox::SetCameraModel(const std::shared_ptr<camera::CameraModel>& model)
{
    StopObserving();
    m_model = model;
    if (auto* observer = dynamic_cast<camera::Observer*>(this); observer && model) {
        model->addObserver(observer);
    }
}

QString CPropertyComboBox::shownText() const
{
    if (isEditable() || currentIndex() >= 0) {
        return currentText();
    }
    return placeholderText();
}

void CPropertyComboBox::InsertLabels(std::span<const SettingLabel> rows)
{
    for (const SettingLabel& row : rows) {
        m_labels.emplace(row.value, row.label);
    }
}

void CPropertyComboBox::PostOnNotification(const camera::ModelEvent& event)
{
    if (!event.argument || *static_cast<const uint32_t*>(event.argument) != m_property) {
        return;
    }
    if (event.name == "PropertyChanged") {
        QCoreApplication::postEvent(this, new QEvent(valueChangedMessage()));
    } else if (event.name == "PropertyDescChanged") {
        QCoreApplication::postEvent(this, new QEvent(allowedValuesChangedMessage()));
    }
}

void CPropertyComboBox::StopObserving()
{
    const std::shared_ptr<camera::CameraModel> model = m_model.lock();
    if (auto* observer = dynamic_cast<camera::Observer*>(this); observer && model) {
        model->removeObserver(observer);
    }
}

bool CPropertyComboBox::event(QEvent* event)
{
    if (event->type() == valueChangedMessage()) {
        if (const auto model = m_model.lock()) {
            UpdateProperty(model->propertyUInt32(m_property));
        }
        return true;
    }
    if (event->type() == allowedValuesChangedMessage()) {
        if (const auto model = m_model.lock()) {
            const CamPropertyDesc description = model->propertyDesc(m_property);
            UpdatePropertyDesc(&description);
        }
        return true;
    }
    return QComboBox::event(event);
}

void CPropertyComboBox::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (isEditable() && m_typed && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        // Handled here alone: the edit field's own handling of Enter would choose a matching
        // item a second time.
        if (key == Qt::Key_Escape) {
            RevertToCameraValue();
        } else {
            CommitTypedText();
        }
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void CPropertyComboBox::focusOutEvent(QFocusEvent* event)
{
    // Opening the drop-down list moves the focus to it; the typing goes on after it closes.
    if (isEditable() && m_typed && event->reason() != Qt::PopupFocusReason) {
        CommitTypedText();
    }
    QComboBox::focusOutEvent(event);
}

void CPropertyComboBox::CommitTypedText()
{
    m_typed = false;
    const QString typed = currentText().trimmed();
    for (int index = 0; index < count(); ++index) {
        if (itemText(index).compare(typed, Qt::CaseInsensitive) == 0) {
            setCurrentIndex(index);
            setEditText(itemText(index));
            OnSelectionChange(index);
            return;
        }
    }
    RevertToCameraValue();
}

void CPropertyComboBox::RevertToCameraValue()
{
    m_typed = false;
    if (const auto model = m_model.lock()) {
        const uint32_t value = model->propertyUInt32(m_property);
        if (m_labels.contains(value)) {
            UpdateProperty(value);
            return;
        }
    }
    SetShownText(m_cameraText, findText(m_cameraText, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void CPropertyComboBox::OnSelectionChange(int index)
{
    m_typed = false;
    if (index < 0) {
        return;
    }
    uint32_t value = itemData(index).value<uint32_t>();
    if (auto* source = dynamic_cast<camera::ActionSource*>(this)) {
        source->fireAction(&value);
    }
}

void CPropertyComboBox::SetShownText(const QString& text, int index)
{
    setCurrentIndex(index);
    if (isEditable()) {
        setEditText(text);
    } else if (index < 0) {
        setPlaceholderText(text);
    }
}

} // namespace controls
