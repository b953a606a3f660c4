// The capture dialog's items: built from the template, wired to their handlers, and given the
// look of the configured button theme.
//
// Threading: UI thread.
#include "DialogTemplate.h"
#include "dialog/CameraControlDlg.h"

#include <controls/ActionButtons.h>
#include <controls/ButtonThemes.h>
#include <controls/EvfPictureBox.h>
#include <controls/RoundButton.h>
#include <controls/SettingComboBoxes.h>
#include <controls/WheelNeedsFocus.h>
#include <imaging/ImageCtrl.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

namespace dialog {
namespace {

// The symbol-font captions of the design and the platform characters that draw the same.
QString platformCaption(const QString& caption)
{
    static const std::map<QString, QString> symbols{
        {QStringLiteral("5"), QStringLiteral("\u25B2")}, {QStringLiteral("6"), QStringLiteral("\u25BC")},
        {QStringLiteral("3"), QStringLiteral("\u25C0")}, {QStringLiteral("4"), QStringLiteral("\u25B6")},
        {QString(QChar(0xB0)), QStringLiteral("\u25C9")}};
    const auto found = symbols.find(caption);
    return found != symbols.end() ? found->second : caption;
}

template <typename Combo>
Combo* makeCombo(QWidget* parent)
{
    auto* combo = new Combo(parent);
    return combo;
}

} // namespace

void CCameraControlDlg::CreateItems()
{
    const QSize baseUnits = dialogBaseUnits(font());
    resize(dialogUnitsToPixels(QRect(0, 0, kDialogWidthUnits, kDialogHeightUnits), baseUnits).size());
    setFixedSize(size());

    for (const TemplateItem& entry : dialogTemplate()) {
        const bool isCombo = entry.kind >= ItemKind::DropDownList;
        const QRect units(entry.x, entry.y, entry.width, isCombo ? kDropDownHeightUnits : entry.height);
        const QRect geometry = dialogUnitsToPixels(units, baseUnits);
        const QString caption = QString::fromUtf8(entry.caption);
        QWidget* widget = nullptr;
        switch (entry.kind) {
        case ItemKind::GroupBox:
            widget = new QGroupBox(caption, this);
            break;
        case ItemKind::ImagingControl: {
            auto* control = new imaging::CImageCtrl(this, geometry, entry.id);
            (entry.id == 1057 ? m_preview : m_reference) = control;
            widget = control;
            break;
        }
        case ItemKind::EvfPictureBox:
            m_liveView = new controls::CEvfPictureBox(this);
            widget = m_liveView;
            break;
        case ItemKind::RoundButton:
        case ItemKind::RoundActionButton:
        case ItemKind::EvfAfButton: {
            controls::CRoundButton* button = nullptr;
            if (entry.kind == ItemKind::EvfAfButton) {
                m_evfAfButton = new controls::CEvfAfButton(this);
                button = m_evfAfButton;
            } else if (entry.kind == ItemKind::RoundActionButton) {
                button = new controls::CRoundActionButton(this);
            } else {
                button = new controls::CRoundButton(this);
            }
            button->setText(caption);
            button->SetControlId(entry.id);
            widget = button;
            break;
        }
        case ItemKind::ActionButton: {
            auto* button = new controls::CActionButton(this);
            button->setText(caption);
            button->setCheckable(true);
            button->setAutoExclusive(true);
            (entry.id == 1065 ? m_fullFrame : m_focusBox) = button;
            widget = button;
            break;
        }
        case ItemKind::PushButton:
            widget = new QPushButton(caption, this);
            break;
        case ItemKind::ReadOnlyEdit: {
            auto* edit = new QLineEdit(caption, this);
            edit->setReadOnly(true);
            widget = edit;
            break;
        }
        case ItemKind::ProgressBar: {
            auto* bar = new QProgressBar(this);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        case ItemKind::Label:
            widget = new QLabel(caption, this);
            break;
        case ItemKind::MessageLine: {
            auto* label = new QLabel(caption, this);
            label->setAlignment(Qt::AlignCenter);
            label->setFrameShape(QFrame::Box);
            label->setWordWrap(true);
            widget = label;
            break;
        }
        case ItemKind::CheckBox:
            widget = new QCheckBox(caption, this);
            break;
        case ItemKind::VerticalSlider: {
            // The dialog's vertical trackbars have their lowest position at the top, as the
            // platform the dialog was drawn for has them (Qt puts it at the bottom).
            auto* slider = new QSlider(Qt::Vertical, this);
            slider->setInvertedAppearance(true);
            slider->setInvertedControls(true);
            widget = slider;
            break;
        }
        case ItemKind::DropDownList:
            widget = new QComboBox(this);
            break;
        case ItemKind::AEModeCombo:
            widget = m_aeMode = makeCombo<controls::CAEMode>(this);
            break;
        case ItemKind::TvCombo:
            widget = m_tv = makeCombo<controls::CTv>(this);
            break;
        case ItemKind::AvCombo:
            widget = m_av = makeCombo<controls::CAv>(this);
            break;
        case ItemKind::IsoCombo:
            widget = m_iso = makeCombo<controls::CIso>(this);
            break;
        case ItemKind::WhiteBalanceCombo:
            widget = m_whiteBalance = makeCombo<controls::CWhiteBalance>(this);
            break;
        case ItemKind::MeteringModeCombo:
            widget = m_meteringMode = makeCombo<controls::CMeteringMode>(this);
            break;
        case ItemKind::ExposureCompCombo:
            widget = m_exposureComp = makeCombo<controls::CExposureComp>(this);
            break;
        case ItemKind::ImageQualityCombo:
            widget = m_imageQuality = makeCombo<controls::CImageQuality>(this);
            break;
        case ItemKind::PictureStyleCombo:
            widget = m_pictureStyle = makeCombo<controls::CPictureStyle>(this);
            break;
        case ItemKind::EvfAfModeCombo:
            widget = m_evfAfMode = makeCombo<controls::CEvfAfMode>(this);
            break;
        }
        widget->setObjectName(QStringLiteral("item%1").arg(entry.id));
        widget->setGeometry(geometry);
        widget->setHidden(entry.hidden);
        m_items.emplace(entry.id, widget);
    }

    m_takePicture = static_cast<controls::CRoundButton*>(item(1000));
    m_addImageButton = static_cast<controls::CRoundButton*>(item(1061));
    m_okButton = static_cast<controls::CRoundButton*>(item(1));
    m_cancelButton = static_cast<controls::CRoundButton*>(item(2));
    m_status = static_cast<QLineEdit*>(item(1082));
    m_progress = static_cast<QProgressBar*>(item(1081));
    m_countText = static_cast<QLabel*>(item(1063));
    m_message = static_cast<QLabel*>(item(1042));
    m_useEvfFocus = static_cast<QCheckBox*>(item(1080));
    m_rotationCombo = static_cast<QComboBox*>(item(1053));
    // As the setting boxes: a wheel notch over the box turns nothing unless the operator is in it.
    controls::requireFocusForWheel(m_rotationCombo);
    m_panSpeed = static_cast<QSlider*>(item(1091));
    // The live view covers the preview: raise it so that whichever is shown is on top.
    m_liveView->raise();
    ConnectItems();
}

void CCameraControlDlg::ConnectItems()
{
    connect(m_takePicture, &QPushButton::clicked, this, [this] { OnTakePicture(); });
    connect(m_addImageButton, &QPushButton::clicked, this, [this] { AddImage(); });
    connect(m_okButton, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(m_useEvfFocus, &QCheckBox::clicked, this, [this] { UpdateControls(); });
    connect(m_rotationCombo, &QComboBox::activated, this, [this] { OnRotationChanged(); });
    connect(m_panSpeed, &QSlider::valueChanged, this, [this](int position) { OnPanSpeedChanged(position); });
    connect(m_preview, &imaging::CImageCtrl::progress, this, [this](short percent) { SetProgress(percent); });
    m_okButton->setDefault(true);
}

void CCameraControlDlg::ApplyButtonLook()
{
    const controls::ButtonTheme theme = controls::buttonThemeFromSetting(m_settings.ED_ButtonTheme);
    static constexpr int largeButtons[] = {1000, 1061, 1, 2};
    static constexpr int smallButtons[] = {1035, 1012, 1013, 1014, 1020, 1021, 1022,
                                           1076, 1077, 1030, 1078, 1079, 1085, 1086, 1087, 1088};

    // Text colours: the Cancel button's, with the theme's colours but the hover colour kept.
    controls::StateColors colours{};
    m_cancelButton->GetTextColors(&colours);
    const controls::StateColors themed = controls::roundButtonTextColors(theme);
    for (int state = 0; state < controls::buttonStateCount; ++state) {
        if (state != controls::stateHover) {
            colours[state] = themed[state];
        }
    }
    const auto roundButton = [this](int id) { return static_cast<controls::CRoundButton*>(item(id)); };
    for (const int id : largeButtons) {
        roundButton(id)->SetTextColors(&colours);
    }
    for (const int id : smallButtons) {
        roundButton(id)->SetTextColors(&colours);
    }

    // Fonts, each from the Cancel button's description.
    controls::LogFont base;
    m_cancelButton->GetButtonFont(&base);
    const auto setFont = [&](int id, const char* face, int32_t height, int32_t weight, const QString& caption) {
        controls::LogFont font = base;
        font.faceName = face;
        font.height = height;
        font.weight = weight;
        controls::CRoundButton* button = roundButton(id);
        button->SetButtonFont(&font);
        if (!caption.isEmpty()) {
            button->setText(platformCaption(caption));
        }
    };
    for (const int id : {1012, 1013, 1014, 1020, 1021, 1022}) {
        setFont(id, "Microsoft Sans Serif", 14, 800, {});
    }
    const std::pair<int, const char*> arrows[] = {{1085, "5"}, {1087, "6"}, {1088, "3"}, {1086, "4"},
                                                  {1076, "5"}, {1079, "6"}, {1077, "3"}, {1078, "4"}};
    for (const auto& [id, caption] : arrows) {
        setFont(id, "webdings", 22, 400, QString::fromLatin1(caption));
    }
    setFont(1030, "wingdings", 16, 400, QString(QChar(0xB0)));

    // Styles: A (large) for the four main buttons, B (small) for the others.
    const controls::RoundButtonStyleRecord large = controls::largeButtonStyle(theme);
    m_styleA.SetButtonStyle(&large);
    const controls::RoundButtonStyleRecord small = controls::smallButtonStyle(theme);
    m_styleB.SetButtonStyle(&small);
    for (const int id : largeButtons) {
        roundButton(id)->SetRoundButtonStyle(&m_styleA);
    }
    for (const int id : smallButtons) {
        roundButton(id)->SetRoundButtonStyle(&m_styleB);
    }
    for (const int id : {1076, 1077, 1078, 1079, 1085, 1086, 1087, 1088}) {
        roundButton(id)->SetPressNotification(true);
    }

    // The message line's own font lives as long as the dialog.
    m_messageFont = controls::toQFont(controls::LogFont{.height = 12, .weight = 700, .pitchAndFamily = 0x20, .faceName = "Arial"});
    m_message->setFont(m_messageFont);
}

} // namespace dialog
