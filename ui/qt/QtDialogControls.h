// DialogControls over Qt widgets built from a dialog template of the
// resource script, so the Linux front shows the Windows layout and runs the
// same dialog logic.
//
// Each control line becomes one widget, a child of `parent`, placed in
// pixels from its dialog units (derived from the parent's font, as Windows
// derives them from the dialog font). User actions reach the handlers the
// way the Windows dialog procedures see them: clicks as command(id, 0), an
// edit losing the focus (every time, edited or not) or taking Return as
// command(id, kEditLostFocus), the end of a track bar interaction (the
// release of the mouse button or of the key, not each auto-repeat step) as
// scroll(id, kTrackBarReleased). Changes the logic makes through this interface run with
// the widget's signals blocked, so they never come back as user actions.
//
// Threads: the GUI thread only.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/DialogControls.h"
#include "ui/ResourceScript.h"

class QComboBox;
class QEvent;
class QFont;
class QLabel;
class QWidget;

namespace vorlant {

// A combo entry may carry a shorter text under this role: the closed box
// shows it, the open list the entry's own text.
constexpr int kClosedTextRole = Qt::UserRole + 1;
// What the closed combo shows: the current entry's closed text if it has
// one, else its text; the placeholder when nothing is chosen.
QString closedComboText(const QComboBox& combo);

// A one-line label whose text is wider than its box gets a smaller font
// (down to three quarters of its own) until the text fits, so a font wider
// than the template's never cuts its end off.
void fitLabelText(QLabel& label);

// Which widget a control line becomes.
enum class QtControlKind {
    Combo,         // QComboBox
    CheckBox,      // QCheckBox
    PushCheck,     // checkable QPushButton (push-like check box)
    Radio,         // QRadioButton
    Button,        // QPushButton
    BitmapButton,  // QPushButton with an arrow icon
    Group,         // QGroupBox
    Label,         // QLabel
    Edit,          // QLineEdit
    TrackBar,      // horizontal QSlider with ticks
    Line,          // QFrame horizontal line
};

QtControlKind qtControlKind(const ResourceControl& control);

// Dialog units to pixels for one font: a horizontal unit is a quarter of
// the font's average character width, a vertical one an eighth of its
// height (rounded as Windows rounds them).
struct DialogUnits {
    int baseX = 6;
    int baseY = 13;

    static DialogUnits of(const QFont& font);
    int x(int units) const { return (units * baseX + 2) / 4; }
    int y(int units) const { return (units * baseY + 4) / 8; }
};

class QtDialogControls : public DialogControls {
public:
    using Handler = std::function<void(int id, int code)>;

    // The codes the handlers get besides a click (0).
    static constexpr int kEditLostFocus = 0x0200;
    static constexpr int kTrackBarReleased = 8;

    QtDialogControls(QWidget& parent, const ResourceTemplate& dialogTemplate);
    QtDialogControls(const QtDialogControls&) = delete;
    QtDialogControls& operator=(const QtDialogControls&) = delete;
    // Detaches from the widgets (which may outlive this object by a little,
    // as children of the dialog), so none of them reaches a handler then.
    ~QtDialogControls() override;

    void setCommandHandler(Handler handler) { onCommand_ = std::move(handler); }
    void setScrollHandler(Handler handler) { onScroll_ = std::move(handler); }
    // Called just before the drop-down list of combo `id` opens, so the
    // front can refill it.
    void setPopupHandler(int id, std::function<void()> beforePopup);

    const DialogUnits& units() const { return units_; }

    // The widget of a control id, or nullptr; and its kind.
    QWidget* widget(int id) const;
    bool kindOf(int id, QtControlKind& kind) const;
    std::size_t count() const { return items_.size(); }

    void setText(int id, const std::string& text) override;
    std::string text(int id) const override;
    void enable(int id, bool enabled) override;
    bool isEnabled(int id) const override;
    void setChecked(int id, bool checked) override;
    bool isChecked(int id) const override;
    void setTrackRange(int id, int minimum, int maximum) override;
    void setTrackPos(int id, int position) override;
    int trackPos(int id) const override;
    void addComboItem(int id, const std::string& text) override;
    void setComboSelection(int id, int index) override;
    int comboSelection(int id) const override;
    void setBitmap(int id, int bitmapResource) override;

private:
    struct Item {
        QtControlKind kind;
        QWidget* widget;
    };
    QWidget* create(QWidget& parent, const ResourceControl& control, QtControlKind kind);
    void wire(int id, QtControlKind kind, QWidget* widget);
    const Item* item(int id) const;
    void command(int id, int code) {
        if (onCommand_) onCommand_(id, code);
    }
    void scroll(int id, int code) {
        if (onScroll_) onScroll_(id, code);
    }

    // Watches `w` for user input and calls `onEvent` with each event; the
    // watcher goes with this object.
    void watch(QWidget* w, std::function<bool(QEvent*)> onEvent);

    DialogUnits units_;
    std::map<int, Item> items_;
    Handler onCommand_;
    Handler onScroll_;
    std::vector<QMetaObject::Connection> connections_;
    std::vector<QPointer<QObject>> watchers_;  // null once their widget went
};

}  // namespace vorlant
