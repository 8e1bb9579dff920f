// DialogControls over Qt widgets built from a dialog template of the
// resource script, so the Linux front shows the Windows layout and runs the
// same dialog logic.
//
// Each control line becomes one widget, a child of `parent`, placed in
// pixels from its dialog units. User actions reach the handlers the way
// the Windows dialog procedures see them: clicks as command(id, 0), an edit
// losing focus (editing finished) as command(id, 0x0200), the end of a
// track bar move as scroll(id, 8). Changes the logic makes through this
// interface run with the widget's signals blocked, so they never come back
// as user actions.
//
// Threads: the GUI thread only.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "ui/DialogControls.h"
#include "ui/ResourceScript.h"

class QWidget;

namespace vorlant {

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

// Dialog units to pixels (an 8-point dialog font's base units).
inline int dialogUnitsToPixelsX(int units) {
    return units * 3 / 2;
}
inline int dialogUnitsToPixelsY(int units) {
    return units * 13 / 8;
}

class QtDialogControls : public DialogControls {
public:
    using Handler = std::function<void(int id, int code)>;

    static constexpr int kEditLostFocus = 0x0200;

    QtDialogControls(QWidget& parent, const ResourceTemplate& dialogTemplate);
    QtDialogControls(const QtDialogControls&) = delete;
    QtDialogControls& operator=(const QtDialogControls&) = delete;
    ~QtDialogControls() override = default;

    void setCommandHandler(Handler handler) { onCommand_ = std::move(handler); }
    void setScrollHandler(Handler handler) { onScroll_ = std::move(handler); }

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

    std::map<int, Item> items_;
    Handler onCommand_;
    Handler onScroll_;
};

}  // namespace vorlant
