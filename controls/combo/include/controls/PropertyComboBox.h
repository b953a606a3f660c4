// The common base of the camera-setting combo boxes: a table from camera value to label, the
// drop-down list of the values the camera allows, the current value as the box's text, and a
// choice of the user turned into an action. Text typed into the box counts when it names one
// of the listed values (see CommitTypedText); the wheel changes the box only while it has the
// keyboard focus.
//
// Threading: a UI-thread widget. Only PostOnNotification (called from a subclass's `update`)
// runs on the notifying thread; it posts to the box and touches nothing else.
#pragma once

#include <camera/CameraModel.h>
#include <camera/Observable.h>
#include <camsdk/CamSdk.h>

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <span>

namespace controls {

// One row of a setting table: a camera value and the fixed text shown for it.
struct SettingLabel {
    uint32_t value;
    const char* label;
};

class CPropertyComboBox : public QComboBox {
    Q_OBJECT

public:
    // Camera value to label, in ascending order of value.
    using LabelTable = std::map<uint32_t, const char*>;

    // The most values an allowed-value list holds; a larger count in a description is cut
    // to this.
    static constexpr int32_t maxEntries = CAM_MAX_PROPERTY_VALUES;

    ~CPropertyComboBox() override;

    // True when the last allowed-value list received had at least one value, even one
    // without a label (and so without an item).
    virtual bool HasEntries() const;
    // The value of the first label, in ascending order of value, equal to `label` without
    // regard to letter case.
    virtual bool FindValue(const QString& label, uint32_t& value) const;

    // Shows the label of `value`; a value without a label leaves the text as it is.
    void UpdateProperty(uint32_t value);
    // Refills the list in the camera's order with the labelled values of `description`,
    // keeping the text; null empties the list.
    void UpdatePropertyDesc(const CamPropertyDesc* description);

    // The model that the box reads on its own thread when a notification arrives. The box
    // also observes it, and stops observing it when it is destroyed.
    void SetCameraModel(const std::shared_ptr<camera::CameraModel>& model);

    CamPropertyID property() const { return m_property; }
    int32_t entryCount() const { return m_entryCount; }
    const LabelTable& labels() const { return m_labels; }
    // The text the box shows: the edit text, or for a plain drop-down list the selected
    // item or the text shown without a selection.
    QString shownText() const;

    // The private messages: the current value changed, the allowed values changed.
    static QEvent::Type valueChangedMessage();
    static QEvent::Type allowedValuesChangedMessage();

protected:
    CPropertyComboBox(CamPropertyID property, QWidget* parent);

    // Adds rows in order; a value already present keeps its first label.
    void InsertLabels(std::span<const SettingLabel> rows);

    // The body of every subclass's `update`: posts one of the private messages to the box
    // when the notification concerns its property. Safe on any thread.
    void PostOnNotification(const camera::ModelEvent& event);
    // Called first thing in every subclass's destructor, while its `update` is still whole:
    // once it returns, the model no longer calls the box.
    void StopObserving();

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void OnSelectionChange(int index);
    // Enter, or the focus leaving the box, after the operator typed: text that names a listed
    // value (letter case and blanks around it aside) chooses that item as a choice from the
    // list does; any other text gives way to the camera's value.
    void CommitTypedText();
    // Shows the camera's current value again (from the model, else the text it last showed).
    void RevertToCameraValue();
    void SetShownText(const QString& text, int index);

    const CamPropertyID m_property;
    int32_t m_entryCount = 0;
    LabelTable m_labels;
    std::weak_ptr<camera::CameraModel> m_model;
    // True from the operator's first keystroke in the edit field until the text is committed,
    // reverted or replaced by a choice or by the camera.
    bool m_typed = false;
    // The text last shown for the camera (UpdateProperty, UpdatePropertyDesc).
    QString m_cameraText;
};

} // namespace controls
