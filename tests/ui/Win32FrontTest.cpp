// The Win32 front over real windows, from the program's own resources:
// Win32DialogControls against the real controls of template 100, the main
// dialog's initialisation through DlgConfig, and the modal main dialog's
// message routing (announced reports, Enter/Escape, the close box).
//
// Needs a display (Wine creates no window without one); the tests skip
// when no window can be made.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "ui/AboutDialog.h"
#include "ui/AppModel.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"
#include "ui/FakeControls.h"
#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"
#include "ui/ResourceScript.h"
#include "ui/SecondaryDialogIds.h"
#include "ui/win32/Win32DialogControls.h"
#include "ui/win32/Win32DialogHost.h"
#include "ui/win32/Win32MainDialog.h"

namespace vorlant {
namespace {

using test::FakeEngine;
using test::FakeHost;

INT_PTR CALLBACK plainProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class Win32Front : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof(controls);
        controls.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        instance_ = GetModuleHandleW(nullptr);
        dialog_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(kDialogMain), nullptr, &plainProc, 0);
        if (dialog_ == nullptr) {
            GTEST_SKIP() << "no window could be created (no display?)";
        }
    }
    void TearDown() override {
        if (dialog_ != nullptr) DestroyWindow(dialog_);
    }
    std::string className(int id) {
        wchar_t name[64] = {};
        GetClassNameW(GetDlgItem(dialog_, id), name, 64);
        std::string out;
        for (const wchar_t* p = name; *p != 0; ++p) out += static_cast<char>(*p);
        return out;
    }

    HINSTANCE instance_ = nullptr;
    HWND dialog_ = nullptr;
};

BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The manifest of the program's resources (linked into this test program
// too) brings common controls 6 and system DPI awareness.
TEST_F(Win32Front, ManifestGivesVisualStylesAndDpiAwareness) {
    // The module the program's own calls reach, not just any comctl32.
    HMODULE comctl = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&InitCommonControlsEx)), &comctl));
    // Version 6 is the side-by-side assembly, not the system folder's copy
    // (its version resource is no proof: some systems report 5.x for both).
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    std::wstring lower(path);
    for (wchar_t& ch : lower) ch = static_cast<wchar_t>(towlower(ch));
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls"), std::wstring::npos);
    EXPECT_TRUE(IsProcessDPIAware());
}

// What the dialog manager made of the template: each control of the four
// templates, as the script gives it, is a window with the script's id,
// class, style bits and place (dialog units through the dialog's font).
TEST_F(Win32Front, EveryTemplateControlIsMadeAsTheScriptSays) {
    ResourceTemplates templates;
    ASSERT_TRUE(readResourceScript(VORLANT_RESOURCE_SCRIPT, templates));
    // The styles the script names: flags, and kinds within a type field.
    struct Style {
        const char* name;
        DWORD bits;
        DWORD typeMask;  // 0 for a flag
    };
    const Style styles[] = {
        {"WS_TABSTOP", WS_TABSTOP, 0},
        {"WS_VSCROLL", WS_VSCROLL, 0},
        {"WS_BORDER", WS_BORDER, 0},
        {"WS_GROUP", WS_GROUP, 0},
        {"ES_AUTOHSCROLL", ES_AUTOHSCROLL, 0},
        {"ES_READONLY", ES_READONLY, 0},
        {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST, 3},
        {"BS_PUSHBUTTON", BS_PUSHBUTTON, BS_TYPEMASK},
        {"BS_CHECKBOX", BS_CHECKBOX, BS_TYPEMASK},
        {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX, BS_TYPEMASK},
        {"BS_RADIOBUTTON", BS_RADIOBUTTON, BS_TYPEMASK},
        {"BS_GROUPBOX", BS_GROUPBOX, BS_TYPEMASK},
        {"BS_BITMAP", BS_BITMAP, 0},
        {"BS_PUSHLIKE", BS_PUSHLIKE, 0},
        {"BS_MULTILINE", BS_MULTILINE, 0},
        {"SS_LEFT", SS_LEFT, SS_TYPEMASK},
        {"SS_RIGHT", SS_RIGHT, SS_TYPEMASK},
        {"SS_CENTER", SS_CENTER, SS_TYPEMASK},
        {"SS_ETCHEDHORZ", SS_ETCHEDHORZ, SS_TYPEMASK},
        {"SS_NOTIFY", SS_NOTIFY, 0},
        {"TBS_HORZ", TBS_HORZ, TBS_VERT},
        {"TBS_AUTOTICKS", TBS_AUTOTICKS, 0},
    };
    // Each statement's class and the styles it implies.
    struct Kind {
        const char* keyword;
        const char* windowClass;  // null: the CONTROL line's own
        const char* implied;
    };
    const Kind kinds[] = {
        {"LTEXT", "Static", "SS_LEFT | WS_GROUP"},
        {"RTEXT", "Static", "SS_RIGHT | WS_GROUP"},
        {"CTEXT", "Static", "SS_CENTER | WS_GROUP"},
        {"PUSHBUTTON", "Button", "BS_PUSHBUTTON | WS_TABSTOP"},
        {"AUTOCHECKBOX", "Button", "BS_AUTOCHECKBOX | WS_TABSTOP"},
        {"GROUPBOX", "Button", "BS_GROUPBOX"},
        {"EDITTEXT", "Edit", "WS_TABSTOP"},
        {"COMBOBOX", "ComboBox", ""},
        {"CONTROL", nullptr, ""},
    };
    auto has = [&](DWORD style, DWORD exStyle, const std::string& name) {
        for (const Style& st : styles) {
            if (name != st.name) continue;
            if (st.typeMask != 0) return (style & st.typeMask) == st.bits;
            // The dialog manager draws a bordered edit with a client edge.
            if (st.bits == WS_BORDER) return (style & WS_BORDER) != 0 || (exStyle & WS_EX_CLIENTEDGE) != 0;
            return (style & st.bits) == st.bits;
        }
        ADD_FAILURE() << "style " << name << " not in the test's table";
        return false;
    };
    auto names = [](const std::string& joined) {
        std::vector<std::string> out;
        std::string name;
        for (char ch : joined + "|") {
            if (ch == '|') {
                if (!name.empty()) out.push_back(name);
                name.clear();
            } else if (ch != ' ') {
                name += ch;
            }
        }
        return out;
    };
    for (int templateId : {kDialogMain, kDialogGearRatio, kDialogAdvancedSettings, kDialogAbout}) {
        SCOPED_TRACE(templateId);
        const ResourceTemplate& t = templates.at(templateId);
        HWND dialog = CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId), nullptr, &plainProc, 0);
        ASSERT_NE(dialog, nullptr);
        int children = 0;
        EnumChildWindows(dialog, &countChild, reinterpret_cast<LPARAM>(&children));
        EXPECT_EQ(children, static_cast<int>(t.controls.size()));
        for (const ResourceControl& rc : t.controls) {
            SCOPED_TRACE(rc.id);
            HWND w = GetDlgItem(dialog, rc.id);
            ASSERT_NE(w, nullptr);
            const Kind* kind = nullptr;
            for (const Kind& k : kinds) {
                if (rc.kind == k.keyword) kind = &k;
            }
            ASSERT_NE(kind, nullptr) << rc.kind;
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            std::string windowClass;
            for (const wchar_t* p = name; *p != 0; ++p) windowClass += static_cast<char>(*p);
            const std::string expectedClass =
                kind->windowClass != nullptr ? kind->windowClass : rc.windowClass;
            EXPECT_EQ(_stricmp(windowClass.c_str(), expectedClass.c_str()), 0) << windowClass;
            const DWORD style = static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE));
            const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE));
            EXPECT_TRUE((style & WS_CHILD) && (style & WS_VISIBLE));
            for (const std::string& n : names(std::string(kind->implied) + "|" + rc.style)) {
                // A combo box hands its scroll bar to its list.
                if (rc.kind == "COMBOBOX" && n == "WS_VSCROLL") continue;
                EXPECT_TRUE(has(style, exStyle, n)) << n << " in " << std::hex << style;
            }
            // Place and size convert separately, as the dialog manager does.
            RECT expected{rc.x, rc.y, rc.w, rc.h};
            MapDialogRect(dialog, &expected);
            RECT actual{};
            GetWindowRect(w, &actual);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            // An etched line sizes itself to its line; a drop-down list's
            // height in the script is that of its list.
            if (rc.hasStyle("SS_ETCHEDHORZ")) continue;
            EXPECT_EQ(actual.right - actual.left, expected.right);
            if (rc.kind != "COMBOBOX") {
                EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
            }
        }
        DestroyWindow(dialog);
    }
}

// Every text of the four dialogs, with the longest texts the program puts
// into them, fits its control in the dialog's font at this display's DPI.
// The list of those that do not is printed; at 96 DPI it must be empty (the
// screenshot script runs this at other DPIs to report them).
TEST_F(Win32Front, EveryTextFitsItsControl) {
    FakeEngine engine;
    AppModel bridge;
    FakeHost host;
    DlgConfig logic(engine, bridge);
    Win32DialogControls mainControls(instance_, dialog_);
    logic.initDialog(mainControls, host);
    ControllerSettings s{};
    s.versionClass = 5;
    // A device line as controllers give it; the widest possible one
    // (every byte 255) is wider than the line and scrolls.
    s.hardwareVersion = 0x01030002;
    s.firmwareVersion = 0x0204000A;
    s.portType = 1;
    s.raGearRatio = s.deGearRatio = 4294967295u;
    s.raMaxSpeed = s.deMaxSpeed = 65535;
    s.raMaxCurrent = s.deMaxCurrent = 65535;
    s.raOvertone = s.deOvertone = -128;
    s.raIncCurrentAt = s.deIncCurrentAt = 65535;
    logic.showSettings(&s, SettingsReportKind::ReadoutComplete);
    logic.showStatus(StatusCode::DeviceTooOld);  // the longest status text
    logic.showSupplyVoltage(65535);

    std::vector<std::string> tooLong;
    auto check = [&](HWND dialog, int templateId) {
        for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
            wchar_t text[256] = {};
            const int length = GetWindowTextW(w, text, 256);
            wchar_t cls[32] = {};
            GetClassNameW(w, cls, 32);
            const std::wstring kind(cls);
            if (length == 0 || kind == L"ComboBox") continue;
            const LONG style = GetWindowLongW(w, GWL_STYLE);
            const LONG type = style & BS_TYPEMASK;
            const bool boxed = kind == L"Button" &&
                               (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                                type == BS_AUTORADIOBUTTON) &&
                               (style & BS_PUSHLIKE) == 0;
            const bool group = kind == L"Button" && type == BS_GROUPBOX;
            const bool wraps = kind == L"Static" && (style & SS_TYPEMASK) == SS_LEFT;
            RECT client{};
            GetClientRect(w, &client);
            // Room that is not the text's: the box before a check box's
            // label, a button's frame, an edit's margins.
            int room = client.right;
            if (boxed) room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
            if (kind == L"Button" && !boxed && !group) room -= 6;
            if (kind == L"Edit") room -= 4;
            HDC dc = GetDC(w);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)));
            RECT need{0, 0, room, 0};
            DrawTextW(dc, text, length, &need, DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
            SelectObject(dc, old);
            ReleaseDC(w, dc);
            if (need.right > room || (!group && need.bottom > client.bottom)) {
                std::string line = std::to_string(templateId) + "/" + std::to_string(GetDlgCtrlID(w)) + " \"";
                for (const wchar_t* p = text; *p != 0; ++p) line += static_cast<char>(*p);
                line += "\" needs " + std::to_string(need.right) + "x" + std::to_string(need.bottom) +
                        ", has " + std::to_string(room) + "x" + std::to_string(client.bottom);
                tooLong.push_back(line);
            }
        }
    };
    check(dialog_, kDialogMain);
    for (int templateId : {kDialogGearRatio, kDialogAdvancedSettings, kDialogAbout}) {
        HWND dialog = CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId), nullptr, &plainProc, 0);
        ASSERT_NE(dialog, nullptr);
        if (templateId == kDialogAbout) {
            Win32DialogControls about(instance_, dialog);
            AboutDialog(nullptr).init(about);
        }
        check(dialog, templateId);
        DestroyWindow(dialog);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    for (const std::string& line : tooLong)
        std::printf("text does not fit at %d DPI: %s\n", dpi, line.c_str());
    if (dpi == 96) {
        EXPECT_EQ(tooLong, std::vector<std::string>{});
    }
}

TEST_F(Win32Front, ControlsRoundTripThroughTheRealItems) {
    Win32DialogControls controls(instance_, dialog_);
    // Texts are UTF-8 inside the program, UTF-16 in the items.
    const std::string texts[] = {"", "Connection established.", "12.34V", "N 47:30:00 \xC2\xB0 \xC3\xA4"};
    for (const std::string& text : texts) {
        controls.setText(MainId::StatusLine, text);
        EXPECT_EQ(controls.text(MainId::StatusLine), text);
    }
    EXPECT_EQ(controls.text(9999), "");  // no such control

    controls.enable(MainId::Connect, false);
    EXPECT_FALSE(controls.isEnabled(MainId::Connect));
    controls.enable(MainId::Connect, true);
    EXPECT_TRUE(controls.isEnabled(MainId::Connect));

    for (int id : {MainId::TrackOff, MainId::Baud115200, MainId::RaReverseRotation}) {
        controls.setChecked(id, true);
        EXPECT_TRUE(controls.isChecked(id)) << id;
        controls.setChecked(id, false);
        EXPECT_FALSE(controls.isChecked(id)) << id;
    }

    // A signed range; positions outside it are kept at its ends.
    controls.setTrackRange(MainId::RaOvertoneTrack, -20, 20);
    const int positions[][2] = {{-7, -7}, {-20, -20}, {-25, -20}, {25, 20}, {0, 0}};
    for (const auto& p : positions) {
        controls.setTrackPos(MainId::RaOvertoneTrack, p[0]);
        EXPECT_EQ(controls.trackPos(MainId::RaOvertoneTrack), p[1]) << p[0];
    }

    controls.addComboItem(MainId::PortCombo, "COM1");
    controls.addComboItem(MainId::PortCombo, "COM2");
    EXPECT_EQ(controls.comboSelection(MainId::PortCombo), -1);
    controls.setComboSelection(MainId::PortCombo, 1);
    EXPECT_EQ(controls.comboSelection(MainId::PortCombo), 1);

    controls.setBitmap(MainId::MoveNorth, kBitmapArrowUp);
    EXPECT_NE(SendDlgItemMessageW(dialog_, MainId::MoveNorth, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    controls.setBitmap(MainId::MoveSouth, 999);  // no such bitmap: nothing set
    EXPECT_EQ(SendDlgItemMessageW(dialog_, MainId::MoveSouth, BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
}

TEST_F(Win32Front, MainDialogInitialisesTheRealControls) {
    Win32DialogControls controls(instance_, dialog_);
    FakeEngine engine;
    AppModel bridge;
    FakeHost host;
    DlgConfig dialog(engine, bridge);
    dialog.initDialog(controls, host);

    EXPECT_EQ(SendDlgItemMessageW(dialog_, MainId::PortCombo, CB_GETCOUNT, 0, 0), 256);
    wchar_t last[16] = {};
    SendDlgItemMessageW(dialog_, MainId::PortCombo, CB_GETLBTEXT, 255, reinterpret_cast<LPARAM>(last));
    EXPECT_EQ(std::wstring(last), L"COM256");
    EXPECT_EQ(controls.comboSelection(MainId::PortCombo), 0);
    EXPECT_EQ(controls.trackPos(MainId::ManualSpeed), 10);
    EXPECT_EQ(SendDlgItemMessageW(dialog_, MainId::RaOvertoneTrack, TBM_GETRANGEMIN, 0, 0), -20);
    EXPECT_EQ(SendDlgItemMessageW(dialog_, MainId::RaOvertoneTrack, TBM_GETRANGEMAX, 0, 0), 20);
    EXPECT_EQ(SendDlgItemMessageW(dialog_, MainId::DeMaxSpeedTrack, TBM_GETRANGEMAX, 0, 0), 39);
    EXPECT_TRUE(controls.isChecked(MainId::TrackOff));
    EXPECT_FALSE(controls.isChecked(MainId::TrackOn));
    for (int id : {MainId::MoveNorth, MainId::MoveSouth, MainId::MoveEast, MainId::MoveWest}) {
        EXPECT_NE(SendDlgItemMessageW(dialog_, id, BM_GETIMAGE, IMAGE_BITMAP, 0), 0) << id;
    }
    for (int id :
         {MainId::MeasureVoltage, MainId::Stop, MainId::AdvancedSettings, MainId::DeGuideRateTrack}) {
        EXPECT_FALSE(controls.isEnabled(id)) << id;
    }
    for (int id :
         {MainId::PortCombo, MainId::Connect, MainId::Disconnect, MainId::About, MainId::StatusLine}) {
        EXPECT_TRUE(controls.isEnabled(id)) << id;
    }
}

HWND findWindow(const wchar_t* title) {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", title); w != nullptr;
         w = FindWindowExW(nullptr, w, L"#32770", title)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId()) return w;
    }
    return nullptr;
}

HWND findMainWindow() {
    return findWindow(L"Vorlant 2.4. beta 2.");
}

// Waits for a dialog of this process to open and be initialised (visible).
HWND waitForDialog(const wchar_t* title) {
    for (int i = 0; i < 200; ++i) {
        HWND w = findWindow(title);
        if (w != nullptr && IsWindowVisible(w)) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return nullptr;
}

std::string itemText(HWND window, int id) {
    wchar_t text[128] = {};
    GetDlgItemTextW(window, id, text, 128);
    std::string out;
    for (const wchar_t* p = text; *p != 0; ++p) out += static_cast<char>(*p);
    return out;
}

// The modal dialog, driven from a second thread as the engine thread would:
// reports whose announcement never reached the window are still shown (the
// first on initialisation, the second by the window's timer); Enter and
// Escape leave the dialog open (and the dialog manager keeps its own
// messages, DM_GETDEFID among them); the close box ends it with 1.
TEST_F(Win32Front, ModalDialogShowsEveryReportAndClosesOnlyByTheCloseBox) {
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    Win32MainDialog window(instance_, dialog, bridge);
    bridge.setDialogCallback(&dialog);
    setActiveDialog(&window);
    bridge.onStatus(3);  // no window yet: the announcement is lost

    auto waitForStatus = [](HWND main, const char* text) {
        std::string status;
        for (int i = 0; i < 200 && status != text; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            status = itemText(main, MainId::StatusLine);
        }
        return status;
    };
    std::string shownAtStart, shownByTimer;
    bool connectSetEnabled = false;
    bool openAfterEnterAndEscape = false;
    DWORD defaultId = 0;
    std::vector<std::string> menuTexts;
    bool saveDialogShown = false;
    std::thread driver([&] {
        HWND main = nullptr;
        for (int i = 0; i < 200 && main == nullptr; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            main = findMainWindow();
        }
        if (main == nullptr) return;
        shownAtStart = waitForStatus(main, "Connection established.");
        connectSetEnabled = IsWindowEnabled(GetDlgItem(main, MainId::MeasureVoltage)) != FALSE;
        // An announcement lost on the way.
        setActiveDialog(nullptr);
        bridge.onStatus(StatusCode::Ready);
        setActiveDialog(&window);
        shownByTimer = waitForStatus(main, "Ready");
        PostMessageW(main, WM_COMMAND, IDOK, 0);
        PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        openAfterEnterAndEscape = IsWindow(main) != FALSE && IsWindowVisible(main) != FALSE;
        // The dialog manager's own messages reach it: the report message is
        // none of them (WM_USER is DM_GETDEFID).
        SendMessageW(main, DM_SETDEFID, MainId::Connect, 0);
        defaultId = static_cast<DWORD>(SendMessageW(main, DM_GETDEFID, 0, 0));
        SendMessageW(main, DM_SETDEFID, IDOK, 0);
        // The menu commands sit in the system menu; "Export settings..."
        // opens the standard save dialog, and cancelling it does nothing.
        HMENU menu = GetSystemMenu(main, FALSE);
        for (const MenuCommand& c : kMenuCommands) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(c.id), text, 64, MF_BYCOMMAND);
            std::string narrow;
            for (const wchar_t* p = text; *p != 0; ++p) narrow += static_cast<char>(*p);
            menuTexts.push_back(narrow);
        }
        PostMessageW(main, WM_SYSCOMMAND, MenuCommandId::ExportSettings, 0);
        HWND save = nullptr;  // Wine's first file dialog takes a while
        for (int i = 0; i < 800 && save == nullptr; ++i) {
            save = findWindow(L"Export settings");
            if (save == nullptr || !IsWindowVisible(save)) {
                save = nullptr;
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        }
        if (save != nullptr) {
            saveDialogShown = true;
            PostMessageW(save, WM_COMMAND, IDCANCEL, 0);
            for (int i = 0; i < 200 && IsWindow(save); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
    });
    const INT_PTR result = window.run(nullptr);
    driver.join();
    setActiveDialog(nullptr);
    bridge.setDialogCallback(nullptr);

    EXPECT_EQ(result, 1);
    EXPECT_EQ(shownAtStart, "Connection established.");
    EXPECT_EQ(shownByTimer, "Ready");
    EXPECT_TRUE(connectSetEnabled);
    EXPECT_TRUE(openAfterEnterAndEscape);
    EXPECT_EQ(defaultId, static_cast<DWORD>(MAKELONG(MainId::Connect, DC_HASDEFID)));
    EXPECT_EQ(menuTexts,
              (std::vector<std::string>{"Find controller...", "Export settings...", "Import settings..."}));
    EXPECT_TRUE(saveDialogShown);
    EXPECT_TRUE(std::none_of(engine.calls.begin(), engine.calls.end(),
                             [](const std::string& call) { return call.rfind("connect", 0) == 0; }));
    window.postToWindow(kReportReady, 0);  // the window is gone: nothing happens
}

// "Find controller..." in the system menu: the command starts the search
// (the window stays responsive), the result box shows the ports tried and
// the status line says what was found.
TEST_F(Win32Front, SystemMenuFindsTheController) {
    DestroyWindow(dialog_);
    dialog_ = nullptr;
    FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    Win32MainDialog window(instance_, dialog, bridge);
    std::string menuText, searching, result, status;
    std::thread driver([&] {
        HWND main = nullptr;
        for (int i = 0; i < 200 && main == nullptr; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            main = findMainWindow();
        }
        if (main == nullptr) return;
        // The window is found before its initialisation has added the item.
        for (int i = 0; i < 200 && menuText.empty(); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(GetSystemMenu(main, FALSE), MenuCommandId::FindController, text, 64, MF_BYCOMMAND);
            for (const wchar_t* p = text; *p != 0; ++p) menuText += static_cast<char>(*p);
            if (menuText.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        PostMessageW(main, WM_SYSCOMMAND, MenuCommandId::FindController, 0);
        for (int i = 0; i < 200 && searching.rfind("Searching", 0) != 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            searching = itemText(main, MainId::StatusLine);
        }
        // Every probe is bounded; the result comes within the bound.
        HWND box = nullptr;
        for (int i = 0; i < 300 && box == nullptr; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            box = findWindow(L"Find controller");
        }
        if (box != nullptr) {
            result = itemText(box, 0xFFFF);  // a message box's text
            status = itemText(main, MainId::StatusLine);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        PostMessageW(main, WM_CLOSE, 0, 0);
    });
    window.run(nullptr);
    driver.join();

    EXPECT_EQ(menuText, "Find controller...");
    EXPECT_EQ(searching.rfind("Searching for the controller on ", 0), 0u) << searching;
    EXPECT_FALSE(result.empty());
    // No controller on the machine's own ports.
    EXPECT_EQ(status, "No controller found.") << result;
}

// The secondary dialogs from their templates, driven as a user would from a
// second thread: what the host returns and what lands in the record.
TEST_F(Win32Front, HostRunsTheSecondaryDialogsOverTheirTemplates) {
    Win32DialogHost host(instance_, dialog_);

    GearRatios ratios{172800, 829440};
    std::string shownRa;
    std::thread gearUser([&] {
        HWND w = waitForDialog(L"Set gear ratio");
        if (w == nullptr) return;
        shownRa = itemText(w, GearRatioId::RaEdit);
        SetDlgItemTextW(w, GearRatioId::DeEdit, L"164000");
        PostMessageW(w, WM_COMMAND, IDOK, 0);  // Enter
    });
    EXPECT_EQ(host.showGearRatioDialog(ratios), 1);
    gearUser.join();
    EXPECT_EQ(shownRa, "172800");
    EXPECT_EQ(ratios.raRatio, 172800u);
    EXPECT_EQ(ratios.deRatio, 164000u);

    std::thread cancelUser([&] {
        HWND w = waitForDialog(L"Set gear ratio");
        if (w == nullptr) return;
        SetDlgItemTextW(w, GearRatioId::RaEdit, L"1");
        PostMessageW(w, WM_COMMAND, IDCANCEL, 0);  // Escape
    });
    EXPECT_EQ(host.showGearRatioDialog(ratios), 0);
    cancelUser.join();
    EXPECT_EQ(ratios.raRatio, 172800u);

    AdvancedSettings settings{0, 0, 47 * 86400 + 30 * 1440, -(8 * 86400 + 5 * 1440), 10};
    std::string shownLatitude;
    std::string shownLongitude;
    std::thread advancedUser([&] {
        HWND w = waitForDialog(L"Advanced settings");
        if (w == nullptr) return;
        shownLatitude = itemText(w, AdvancedSettingsId::LatitudeEdit);
        shownLongitude = itemText(w, AdvancedSettingsId::LongitudeEdit);
        // A click on "Equatorial fork", then Ok.
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(AdvancedSettingsId::MountFork, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(w, AdvancedSettingsId::MountFork)));
        PostMessageW(w, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(host.showAdvancedSettingsDialog(settings), 1);
    advancedUser.join();
    EXPECT_EQ(shownLatitude, "N 47:30:00");
    EXPECT_EQ(shownLongitude, "W 8:05:00");
    EXPECT_EQ(settings.mountType, 1);
    EXPECT_EQ(settings.changeMask, kChangeMountType);

    bool aboutShown = false;
    std::thread aboutUser([&] {
        HWND w = waitForDialog(L"Vorlant 2.4");
        if (w == nullptr) return;
        aboutShown = itemText(w, AboutId::Title) == "Vorlant 2.4";
        PostMessageW(w, WM_COMMAND, AboutId::Exit, 0);
    });
    host.showAboutDialog();
    aboutUser.join();
    EXPECT_TRUE(aboutShown);
}

}  // namespace
}  // namespace vorlant
