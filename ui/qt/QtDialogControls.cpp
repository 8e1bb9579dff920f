#include "ui/qt/QtDialogControls.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <algorithm>
#include <utility>

#include "ui/MainDialogIds.h"

namespace vorlant {

namespace {

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

// A static text with click notification: a left click is its command.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> onClick)
        : QObject(parent), onClick_(std::move(onClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            onClick_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onClick_;
};

bool isAutomatic(const ResourceControl& c) {
    return c.kind == "AUTOCHECKBOX" || c.kind == "AUTORADIOBUTTON" || c.hasStyle("BS_AUTOCHECKBOX") ||
           c.hasStyle("BS_AUTORADIOBUTTON");
}

}  // namespace

QtControlKind qtControlKind(const ResourceControl& c) {
    if (c.kind == "COMBOBOX") return QtControlKind::Combo;
    if (c.kind == "EDITTEXT") return QtControlKind::Edit;
    if (c.kind == "GROUPBOX") return QtControlKind::Group;
    if (c.kind == "LTEXT" || c.kind == "RTEXT" || c.kind == "CTEXT") return QtControlKind::Label;
    if (c.kind == "AUTOCHECKBOX" || c.kind == "CHECKBOX")
        return c.hasStyle("BS_PUSHLIKE") ? QtControlKind::PushCheck : QtControlKind::CheckBox;
    if (c.kind == "RADIOBUTTON" || c.kind == "AUTORADIOBUTTON") return QtControlKind::Radio;
    if (c.kind == "CONTROL") {
        if (c.windowClass == "msctls_trackbar32") return QtControlKind::TrackBar;
        if (c.windowClass == "Static")
            return c.hasStyle("SS_ETCHEDHORZ") ? QtControlKind::Line : QtControlKind::Label;
        if (c.windowClass == "Edit") return QtControlKind::Edit;
        if (c.windowClass == "ComboBox") return QtControlKind::Combo;
        if (c.hasStyle("BS_GROUPBOX")) return QtControlKind::Group;
        if (c.hasStyle("BS_CHECKBOX") || c.hasStyle("BS_AUTOCHECKBOX"))
            return c.hasStyle("BS_PUSHLIKE") ? QtControlKind::PushCheck : QtControlKind::CheckBox;
        if (c.hasStyle("BS_RADIOBUTTON") || c.hasStyle("BS_AUTORADIOBUTTON")) return QtControlKind::Radio;
        if (c.hasStyle("BS_BITMAP")) return QtControlKind::BitmapButton;
    }
    return QtControlKind::Button;  // PUSHBUTTON, DEFPUSHBUTTON and other buttons
}

QtDialogControls::QtDialogControls(QWidget& parent, const ResourceTemplate& dialogTemplate) {
    // Group boxes first: later siblings are drawn above them, so the frames
    // stay behind the controls they enclose.
    for (int pass = 0; pass < 2; ++pass) {
        for (const ResourceControl& c : dialogTemplate.controls) {
            const QtControlKind kind = qtControlKind(c);
            if ((kind == QtControlKind::Group) != (pass == 0)) continue;
            if (items_.count(c.id) != 0) continue;  // the first of a duplicate id wins
            QWidget* w = create(parent, c, kind);
            items_[c.id] = Item{kind, w};
            wire(c.id, kind, w);
        }
    }
}

QWidget* QtDialogControls::create(QWidget& parent, const ResourceControl& c, QtControlKind kind) {
    QWidget* w = nullptr;
    const QString caption = toQt(c.caption);
    int height = c.h;
    switch (kind) {
        case QtControlKind::Combo: {
            auto* combo = new QComboBox(&parent);
            combo->setMaxVisibleItems(std::max(5, c.h / 10));
            height = std::min(c.h, 13);  // the template's height includes the open list
            w = combo;
            break;
        }
        case QtControlKind::CheckBox:
            w = new QCheckBox(caption, &parent);
            break;
        case QtControlKind::PushCheck: {
            auto* button = new QPushButton(caption, &parent);
            button->setCheckable(true);
            button->setAutoDefault(false);
            w = button;
            break;
        }
        case QtControlKind::Radio: {
            auto* radio = new QRadioButton(caption, &parent);
            radio->setAutoExclusive(false);  // the logic checks one itself
            w = radio;
            break;
        }
        case QtControlKind::Button:
        case QtControlKind::BitmapButton: {
            auto* button = new QPushButton(caption, &parent);
            button->setAutoDefault(c.kind == "DEFPUSHBUTTON");
            button->setDefault(c.kind == "DEFPUSHBUTTON");
            w = button;
            break;
        }
        case QtControlKind::Group:
            w = new QGroupBox(caption, &parent);
            break;
        case QtControlKind::Label: {
            auto* label = new QLabel(caption, &parent);
            label->setTextFormat(Qt::PlainText);
            Qt::Alignment align = Qt::AlignLeft;
            if (c.kind == "RTEXT" || c.hasStyle("SS_RIGHT")) align = Qt::AlignRight;
            if (c.kind == "CTEXT" || c.hasStyle("SS_CENTER")) align = Qt::AlignHCenter;
            label->setAlignment(align | Qt::AlignVCenter);
            w = label;
            break;
        }
        case QtControlKind::Edit: {
            auto* edit = new QLineEdit(&parent);
            edit->setReadOnly(c.hasStyle("ES_READONLY"));
            w = edit;
            break;
        }
        case QtControlKind::TrackBar: {
            auto* slider = new QSlider(Qt::Horizontal, &parent);
            slider->setTickPosition(c.hasStyle("TBS_AUTOTICKS") ? QSlider::TicksBelow : QSlider::NoTicks);
            slider->setTickInterval(1);
            w = slider;
            break;
        }
        case QtControlKind::Line: {
            auto* line = new QFrame(&parent);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            w = line;
            break;
        }
    }
    w->setObjectName(QString::number(c.id));
    w->setProperty("vorlantAutomatic", isAutomatic(c));
    w->setProperty("vorlantNotify", c.hasStyle("SS_NOTIFY"));
    w->setGeometry(dialogUnitsToPixelsX(c.x), dialogUnitsToPixelsY(c.y), dialogUnitsToPixelsX(c.w),
                   dialogUnitsToPixelsY(height));
    if (c.hasStyle("WS_DISABLED")) w->setEnabled(false);
    return w;
}

void QtDialogControls::wire(int id, QtControlKind kind, QWidget* w) {
    switch (kind) {
        case QtControlKind::Button:
        case QtControlKind::BitmapButton:
            QObject::connect(static_cast<QPushButton*>(w), &QPushButton::clicked, w,
                             [this, id] { command(id, 0); });
            break;
        case QtControlKind::CheckBox:
        case QtControlKind::PushCheck:
        case QtControlKind::Radio: {
            auto* button = static_cast<QAbstractButton*>(w);
            const bool automatic = w->property("vorlantAutomatic").toBool();
            QObject::connect(button, &QAbstractButton::clicked, w,
                             [this, id, button, automatic](bool checked) {
                                 // A check box that is not automatic keeps its state: the
                                 // logic decides what it shows.
                                 if (!automatic) {
                                     const QSignalBlocker blocker(button);
                                     button->setChecked(!checked);
                                 }
                                 command(id, 0);
                             });
            break;
        }
        case QtControlKind::Edit:
            QObject::connect(static_cast<QLineEdit*>(w), &QLineEdit::editingFinished, w,
                             [this, id] { command(id, kEditLostFocus); });
            break;
        case QtControlKind::TrackBar: {
            auto* slider = static_cast<QSlider*>(w);
            QObject::connect(slider, &QSlider::sliderReleased, w,
                             [this, id] { scroll(id, kTrackBarEndTrack); });
            // Keys, wheel and page clicks: the new value is applied only after
            // this signal, so the end of the move is announced queued.
            QObject::connect(slider, &QAbstractSlider::actionTriggered, w, [this, id, slider](int action) {
                if (action == QAbstractSlider::SliderMove || slider->isSliderDown()) return;
                QMetaObject::invokeMethod(
                    slider, [this, id] { scroll(id, kTrackBarEndTrack); }, Qt::QueuedConnection);
            });
            break;
        }
        case QtControlKind::Label:
            if (w->property("vorlantNotify").toBool()) {
                w->setCursor(Qt::PointingHandCursor);
                w->installEventFilter(new ClickFilter(w, [this, id] { command(id, 0); }));
            }
            break;
        case QtControlKind::Combo:
        case QtControlKind::Group:
        case QtControlKind::Line:
            break;
    }
}

const QtDialogControls::Item* QtDialogControls::item(int id) const {
    const auto it = items_.find(id);
    return it == items_.end() ? nullptr : &it->second;
}

QWidget* QtDialogControls::widget(int id) const {
    const Item* i = item(id);
    return i == nullptr ? nullptr : i->widget;
}

bool QtDialogControls::kindOf(int id, QtControlKind& kind) const {
    const Item* i = item(id);
    if (i == nullptr) return false;
    kind = i->kind;
    return true;
}

void QtDialogControls::setText(int id, const std::string& text) {
    const Item* i = item(id);
    if (i == nullptr) return;
    const QSignalBlocker blocker(i->widget);
    const QString t = toQt(text);
    if (auto* edit = qobject_cast<QLineEdit*>(i->widget)) {
        edit->setText(t);
        edit->setCursorPosition(0);
    } else if (auto* label = qobject_cast<QLabel*>(i->widget)) {
        label->setText(t);
    } else if (auto* button = qobject_cast<QAbstractButton*>(i->widget)) {
        button->setText(t);
    } else if (auto* group = qobject_cast<QGroupBox*>(i->widget)) {
        group->setTitle(t);
    }
}

std::string QtDialogControls::text(int id) const {
    const Item* i = item(id);
    if (i == nullptr) return std::string();
    if (auto* edit = qobject_cast<QLineEdit*>(i->widget)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(i->widget)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(i->widget)) return button->text().toStdString();
    if (auto* group = qobject_cast<QGroupBox*>(i->widget)) return group->title().toStdString();
    if (auto* combo = qobject_cast<QComboBox*>(i->widget)) return combo->currentText().toStdString();
    return std::string();
}

void QtDialogControls::enable(int id, bool enabled) {
    if (QWidget* w = widget(id)) w->setEnabled(enabled);
}

bool QtDialogControls::isEnabled(int id) const {
    const QWidget* w = widget(id);
    return w != nullptr && w->isEnabled();
}

void QtDialogControls::setChecked(int id, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(widget(id));
    if (button == nullptr || !button->isCheckable()) return;
    const QSignalBlocker blocker(button);
    button->setChecked(checked);
}

bool QtDialogControls::isChecked(int id) const {
    auto* button = qobject_cast<QAbstractButton*>(widget(id));
    return button != nullptr && button->isChecked();
}

void QtDialogControls::setTrackRange(int id, int minimum, int maximum) {
    auto* slider = qobject_cast<QSlider*>(widget(id));
    if (slider == nullptr) return;
    const QSignalBlocker blocker(slider);
    slider->setRange(minimum, maximum);
    // A tick per step as far as they stay apart; a denser scale gets fewer.
    const int span = maximum - minimum;
    slider->setTickInterval(span > 40 ? span / 10 : 1);
    slider->setPageStep(std::max(1, span / 5));
}

void QtDialogControls::setTrackPos(int id, int position) {
    auto* slider = qobject_cast<QSlider*>(widget(id));
    if (slider == nullptr) return;
    const QSignalBlocker blocker(slider);
    slider->setValue(position);
}

int QtDialogControls::trackPos(int id) const {
    auto* slider = qobject_cast<QSlider*>(widget(id));
    return slider == nullptr ? 0 : slider->sliderPosition();
}

void QtDialogControls::addComboItem(int id, const std::string& text) {
    auto* combo = qobject_cast<QComboBox*>(widget(id));
    if (combo == nullptr) return;
    const QSignalBlocker blocker(combo);
    combo->addItem(toQt(text));
}

void QtDialogControls::setComboSelection(int id, int index) {
    auto* combo = qobject_cast<QComboBox*>(widget(id));
    if (combo == nullptr) return;
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int QtDialogControls::comboSelection(int id) const {
    auto* combo = qobject_cast<QComboBox*>(widget(id));
    return combo == nullptr ? -1 : combo->currentIndex();
}

void QtDialogControls::setBitmap(int id, int bitmapResource) {
    auto* button = qobject_cast<QPushButton*>(widget(id));
    if (button == nullptr) return;
    QStyle::StandardPixmap arrow;
    switch (bitmapResource) {
        case kBitmapArrowLeft:
            arrow = QStyle::SP_ArrowLeft;
            break;
        case kBitmapArrowRight:
            arrow = QStyle::SP_ArrowRight;
            break;
        case kBitmapArrowUp:
            arrow = QStyle::SP_ArrowUp;
            break;
        case kBitmapArrowDown:
            arrow = QStyle::SP_ArrowDown;
            break;
        default:
            return;
    }
    button->setIcon(button->style()->standardIcon(arrow));
}

}  // namespace vorlant
