#include "ui/win32/Win32DialogControls.h"

#include <commctrl.h>

#include "ui/win32/Win32Text.h"

namespace vorlant {

Win32DialogControls::~Win32DialogControls() {
    for (HBITMAP bitmap : bitmaps_) {
        DeleteObject(bitmap);
    }
}

LRESULT Win32DialogControls::send(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendDlgItemMessageW(dialog_, id, message, wParam, lParam);
}

void Win32DialogControls::setText(int id, const std::string& text) {
    SetDlgItemTextW(dialog_, id, toWide(text).c_str());
}

std::string Win32DialogControls::text(int id) const {
    HWND item = GetDlgItem(dialog_, id);
    if (item == nullptr) {
        return std::string();
    }
    const int length = GetWindowTextLengthW(item);
    if (length <= 0) {
        return std::string();
    }
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    const UINT copied = GetDlgItemTextW(dialog_, id, &buffer[0], length + 1);
    return toUtf8(buffer.c_str(), static_cast<int>(copied));
}

void Win32DialogControls::enable(int id, bool enabled) {
    HWND item = GetDlgItem(dialog_, id);
    if (item != nullptr) {
        EnableWindow(item, enabled ? TRUE : FALSE);
    }
}

bool Win32DialogControls::isEnabled(int id) const {
    HWND item = GetDlgItem(dialog_, id);
    return item != nullptr && IsWindowEnabled(item) != FALSE;
}

// BM_SETCHECK serves plain, push-like and radio buttons alike (CheckDlgButton
// is the same message).
void Win32DialogControls::setChecked(int id, bool checked) {
    send(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32DialogControls::isChecked(int id) const {
    return send(id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The track bar takes its limits as signed LPARAM values, so a range such
// as -20..20 works as it is.
void Win32DialogControls::setTrackRange(int id, int minimum, int maximum) {
    send(id, TBM_SETRANGEMIN, FALSE, minimum);
    send(id, TBM_SETRANGEMAX, TRUE, maximum);
}

void Win32DialogControls::setTrackPos(int id, int position) {
    send(id, TBM_SETPOS, TRUE, position);
}

int Win32DialogControls::trackPos(int id) const {
    return static_cast<int>(send(id, TBM_GETPOS, 0, 0));
}

void Win32DialogControls::addComboItem(int id, const std::string& text) {
    const std::wstring wide = toWide(text);
    send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32DialogControls::setComboSelection(int id, int index) {
    send(id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32DialogControls::comboSelection(int id) const {
    return static_cast<int>(send(id, CB_GETCURSEL, 0, 0));
}

void Win32DialogControls::setBitmap(int id, int bitmapResource) {
    HBITMAP bitmap = LoadBitmapW(instance_, MAKEINTRESOURCEW(bitmapResource));
    if (bitmap == nullptr) {
        return;
    }
    bitmaps_.push_back(bitmap);
    send(id, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

}  // namespace vorlant
