// DialogControls over a real dialog window: each call becomes the matching
// dialog-item call or control message on the item with that id.
//
// Owns the bitmaps it loads for bitmap buttons and deletes them when it goes,
// so it must outlive the dialog window (the fronts keep it for the whole
// modal run). Threads: the window thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/DialogControls.h"

namespace vorlant {

class Win32DialogControls : public DialogControls {
public:
    Win32DialogControls(HINSTANCE instance, HWND dialog) : instance_(instance), dialog_(dialog) {}
    ~Win32DialogControls() override;
    Win32DialogControls(const Win32DialogControls&) = delete;
    Win32DialogControls& operator=(const Win32DialogControls&) = delete;

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

    HWND window() const { return dialog_; }

private:
    LRESULT send(int id, UINT message, WPARAM wParam, LPARAM lParam) const;

    HINSTANCE instance_;
    HWND dialog_;
    std::vector<HBITMAP> bitmaps_;
};

}  // namespace vorlant
