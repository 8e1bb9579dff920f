#include "ui/qt/QtDialogControls.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QVariant>
#include <QWheelEvent>
#include <algorithm>
#include <memory>
#include <utility>

#include "ui/MainDialogIds.h"

namespace vorlant {

namespace {

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

// Hands a widget's events to a function; the function says whether the
// event is used up.
class EventWatcher : public QObject {
public:
    EventWatcher(QObject* parent, std::function<bool(QEvent*)> onEvent)
        : QObject(parent), onEvent_(std::move(onEvent)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (onEvent_(event)) return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QEvent*)> onEvent_;
};

// A combo box that tells before its list opens.
class PopupCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;

    void showPopup() override {
        if (beforePopup) beforePopup();
        QComboBox::showPopup();
    }

protected:
    // QComboBox's own painting, with the closed text in place of the
    // entry's.
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        if (currentIndex() < 0)
            option.palette.setBrush(QPalette::ButtonText, option.palette.placeholderText());
        option.currentText = closedComboText(*this);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

// A group box drawn as Windows draws one: the frame's top line runs
// through the middle of the title, which sits on it near the left end.
class FrameGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        // An etched frame: a dark line with a light one inside and below it
        // (the style's own group frame would leave room for a title above).
        const QRect frame = rect().adjusted(0, metrics.height() / 2, -1, -1);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.adjusted(1, 1, 0, 0));
        if (title().isEmpty()) return;
        const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
        const QRect text(metrics.averageCharWidth(), 0, metrics.horizontalAdvance(title()) + 2 * gap,
                         metrics.height());
        painter.fillRect(text, palette().brush(QPalette::Window));
        style()->drawItemText(&painter, text, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                              title(), QPalette::WindowText);
    }
};

// The keys a track bar moves with; their release ends the interaction.
bool movesTrackBar(int key) {
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

bool isAutomatic(const ResourceControl& c) {
    return c.kind == "AUTOCHECKBOX" || c.kind == "AUTORADIOBUTTON" || c.hasStyle("BS_AUTOCHECKBOX") ||
           c.hasStyle("BS_AUTORADIOBUTTON");
}

}  // namespace

QString closedComboText(const QComboBox& combo) {
    if (combo.currentIndex() < 0) return combo.placeholderText();
    const QVariant closed = combo.currentData(kClosedTextRole);
    return closed.isValid() ? closed.toString() : combo.currentText();
}

void fitLabelText(QLabel& label) {
    if (label.wordWrap()) return;
    const int room = label.contentsRect().width();
    // From the font the label would have, so a shorter text set later
    // gets the full size back.
    QFont font = label.parentWidget() != nullptr ? label.parentWidget()->font() : label.font();
    const bool points = font.pointSizeF() > 0;
    const double full = points ? font.pointSizeF() : font.pixelSize();
    for (double size = full; size >= 0.75 * full; size -= points ? 0.25 : 1) {
        if (points) {
            font.setPointSizeF(size);
        } else {
            font.setPixelSize(static_cast<int>(size));
        }
        if (QFontMetrics(font).horizontalAdvance(label.text()) <= room) break;
    }
    if (font != label.font()) label.setFont(font);
}

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

DialogUnits DialogUnits::of(const QFont& font) {
    // The average width over the Latin letters, as Windows measures the
    // dialog font.
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.baseX = std::max(1, (letters / 26 + 1) / 2);
    units.baseY = std::max(1, metrics.height());
    return units;
}

QtDialogControls::QtDialogControls(QWidget& parent, const ResourceTemplate& dialogTemplate)
    : units_(DialogUnits::of(parent.font())) {
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
            auto* combo = new PopupCombo(&parent);
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
            w = new FrameGroupBox(caption, &parent);
            break;
        case QtControlKind::Label: {
            auto* label = new QLabel(caption, &parent);
            label->setTextFormat(Qt::PlainText);
            Qt::Alignment align = Qt::AlignLeft;
            if (c.kind == "RTEXT" || c.hasStyle("SS_RIGHT")) align = Qt::AlignRight;
            if (c.kind == "CTEXT" || c.hasStyle("SS_CENTER")) align = Qt::AlignHCenter;
            // A box of two lines or more wraps at word ends from the top, as
            // Windows draws static text; a one-line box stays one line (a
            // wider font must not push its end out of sight below).
            const bool lines = c.h >= 16;
            label->setWordWrap(lines);
            label->setAlignment(align | (lines ? Qt::AlignTop : Qt::AlignVCenter));
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
    w->setGeometry(units_.x(c.x), units_.y(c.y), units_.x(c.w), units_.y(height));
    if (auto* label = qobject_cast<QLabel*>(w)) fitLabelText(*label);
    if (c.hasStyle("WS_DISABLED")) w->setEnabled(false);
    return w;
}

QtDialogControls::~QtDialogControls() {
    for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
    for (const QPointer<QObject>& watcher : watchers_) delete watcher.data();
}

void QtDialogControls::watch(QWidget* w, std::function<bool(QEvent*)> onEvent) {
    auto* watcher = new EventWatcher(w, std::move(onEvent));
    w->installEventFilter(watcher);
    watchers_.push_back(QPointer<QObject>(watcher));
}

void QtDialogControls::setPopupHandler(int id, std::function<void()> beforePopup) {
    if (auto* combo = dynamic_cast<PopupCombo*>(widget(id))) combo->beforePopup = std::move(beforePopup);
}

void QtDialogControls::wire(int id, QtControlKind kind, QWidget* w) {
    switch (kind) {
        case QtControlKind::Button:
        case QtControlKind::BitmapButton:
            connections_.push_back(QObject::connect(static_cast<QPushButton*>(w), &QPushButton::clicked, w,
                                                    [this, id] { command(id, 0); }));
            break;
        case QtControlKind::CheckBox:
        case QtControlKind::PushCheck:
        case QtControlKind::Radio: {
            auto* button = static_cast<QAbstractButton*>(w);
            const bool automatic = w->property("vorlantAutomatic").toBool();
            connections_.push_back(QObject::connect(button, &QAbstractButton::clicked, w,
                                                    [this, id, button, automatic](bool checked) {
                                                        // A check box that is not automatic keeps
                                                        // its state: the logic decides what it shows.
                                                        if (!automatic) {
                                                            const QSignalBlocker blocker(button);
                                                            button->setChecked(!checked);
                                                        }
                                                        command(id, 0);
                                                    }));
            break;
        }
        case QtControlKind::Edit: {
            // Every loss of the focus, as Windows reports it, whether or not
            // the text changed (an edit's own context menu is no loss).
            watch(w, [this, id](QEvent* event) {
                if (event->type() == QEvent::FocusOut &&
                    static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                    command(id, kEditLostFocus);
                return false;
            });
            connections_.push_back(QObject::connect(static_cast<QLineEdit*>(w), &QLineEdit::returnPressed, w,
                                                    [this, id] { command(id, kEditLostFocus); }));
            break;
        }
        case QtControlKind::TrackBar: {
            auto* slider = static_cast<QSlider*>(w);
            // One end per interaction, as a Windows track bar sends it: while
            // the mouse button or a moving key is held (auto-repeat steps
            // included) nothing; its release ends the move. The end is
            // queued, so the slider has applied the release first.
            struct Held {
                bool mouse = false;
                int key = 0;
            };
            auto held = std::make_shared<Held>();
            auto end = [this, id, slider, held] {
                QMetaObject::invokeMethod(
                    slider,
                    [this, id, held] {
                        held->mouse = false;
                        scroll(id, kTrackBarReleased);
                    },
                    Qt::QueuedConnection);
            };
            watch(w, [held, end](QEvent* event) {
                switch (event->type()) {
                    case QEvent::MouseButtonPress:
                    case QEvent::MouseButtonDblClick:
                        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) held->mouse = true;
                        break;
                    case QEvent::MouseButtonRelease:
                        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && held->mouse)
                            end();
                        break;
                    case QEvent::KeyPress: {
                        const auto* key = static_cast<QKeyEvent*>(event);
                        if (movesTrackBar(key->key())) held->key = key->key();
                        break;
                    }
                    case QEvent::KeyRelease: {
                        const auto* key = static_cast<QKeyEvent*>(event);
                        if (!key->isAutoRepeat() && key->key() == held->key && held->key != 0) {
                            held->key = 0;
                            end();
                        }
                        break;
                    }
                    default:
                        break;
                }
                return false;
            });
            // A drag the program ends, and moves without a held button or key
            // (the wheel): each is an interaction of its own.
            connections_.push_back(QObject::connect(slider, &QSlider::sliderReleased, w, [held, end] {
                if (!held->mouse) end();
            }));
            connections_.push_back(QObject::connect(
                slider, &QAbstractSlider::actionTriggered, w, [slider, held, end](int action) {
                    if (action == QAbstractSlider::SliderMove || slider->isSliderDown()) return;
                    if (held->mouse || held->key != 0) return;
                    end();
                }));
            break;
        }
        case QtControlKind::Label:
            if (w->property("vorlantNotify").toBool()) {
                w->setCursor(Qt::PointingHandCursor);
                // A click is a press and a release on the text; the second
                // click of a double click is no new click.
                auto pressed = std::make_shared<bool>(false);
                watch(w, [this, id, w, pressed](QEvent* event) {
                    const auto type = event->type();
                    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
                        type != QEvent::MouseButtonRelease)
                        return false;
                    const auto* mouse = static_cast<QMouseEvent*>(event);
                    if (mouse->button() != Qt::LeftButton) return false;
                    if (type == QEvent::MouseButtonPress) {
                        *pressed = true;
                    } else if (type == QEvent::MouseButtonDblClick) {
                        *pressed = false;
                    } else if (*pressed) {
                        *pressed = false;
                        if (w->rect().contains(mouse->position().toPoint())) command(id, 0);
                    }
                    return true;
                });
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
        // A read-only line too short for its text shows the whole of it on
        // hover.
        if (edit->isReadOnly())
            edit->setToolTip(edit->fontMetrics().horizontalAdvance(t) > edit->width() - 8 ? t : QString());
    } else if (auto* label = qobject_cast<QLabel*>(i->widget)) {
        label->setText(t);
        fitLabelText(*label);
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
