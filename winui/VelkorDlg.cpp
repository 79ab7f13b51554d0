#include "winui/VelkorDlg.h"

#include <commctrl.h>
#include <dbt.h>

#include "dialog/ControlIds.h"
#include "dialog/DialogTemplate.h"
#include "winui/CaptionLines.h"
#include "winui/InMemoryTemplate.h"
#include "winui/PortEnumeration.h"
#include "winui/Resources.h"
#include "winui/VersionResource.h"
#include "winui/WideText.h"

namespace {

// The marquee's step while the busy display runs, in milliseconds.
constexpr int MARQUEE_INTERVAL_MS = 2;

bool IsCountValue(int32_t id) {
    for (int32_t value : IDC_COUNT_VALUE) {
        if (value == id) return true;
    }
    return false;
}

HICON LoadAppIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP_ICON),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The resolution of the monitor the window is on. GetDpiForWindow came with Windows 10; before
// it, the system's resolution applies to every window.
int WindowDpi(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow) return static_cast<int>(dpiForWindow(window));
    const HDC screen = GetDC(window);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(window, screen);
    return dpi;
}

}  // namespace

CVelkorDlg::CVelkorDlg(LinkSession& session)
    : appIcon(LoadAppIcon(GetSystemMetrics(SM_CXICON))),
      smallIcon(LoadAppIcon(GetSystemMetrics(SM_CXSMICON))),
      core(*this, session) {}

CVelkorDlg::~CVelkorDlg() {
    core.ShutDown();
    if (window) DestroyWindow(window);
    if (appIcon) DestroyIcon(appIcon);
    if (smallIcon) DestroyIcon(smallIcon);
}

HWND CVelkorDlg::Create() {
    const InMemoryTemplate dialogTemplate;
    // WM_INITDIALOG arrives inside this call, with `this` as its parameter.
    CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate.Get(), nullptr,
                               &CVelkorDlg::DialogProc, reinterpret_cast<LPARAM>(this));
    if (window) ShowWindow(window, SW_SHOW);
    return window;
}

void CVelkorDlg::RunMessageLoop() {
    MSG message;
    while (window && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (PreTranslateMessage(message)) continue;
        if (window && IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Enter never presses a button nor closes the dialog; Tab, the arrows and Escape keep their
// dialog meaning.
bool CVelkorDlg::PreTranslateMessage(const MSG& message) const {
    return message.message == WM_KEYDOWN && message.wParam == VK_RETURN && window &&
           (message.hwnd == window || IsChild(window, message.hwnd));
}

INT_PTR CALLBACK CVelkorDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CVelkorDlg*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window.store(window);
        dialog->OnInitDialog();
        return TRUE;
    }
    auto* dialog = reinterpret_cast<CVelkorDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog) return FALSE;
    if (message == WM_NCDESTROY) {
        dialog->tasks.Close();
        dialog->window.store(nullptr);
        return FALSE;
    }
    return dialog->OnMessage(message, wParam, lParam);
}

INT_PTR CVelkorDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == AUTO_UPDATE_TIMER_ID) core.OnTimer();
            return TRUE;
        case WM_DEVICECHANGE: {
            // Only arrivals and removals carry a device header; other events carry other data.
            const bool arrivalOrRemoval =
                wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE;
            const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
            const uint32_t deviceType = arrivalOrRemoval && header ? header->dbch_devicetype : 0;
            SetWindowLongPtrW(window, DWLP_MSGRESULT,
                              core.OnDeviceChange(static_cast<uint32_t>(wParam), deviceType));
            return TRUE;
        }
        case WM_RUN_POSTED_TASK:
            tasks.RunNext();
            return TRUE;
        case WM_PAINT:
            if (!IsIconic(window)) return FALSE;
            PaintIconic();
            return TRUE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(appIcon);
        case WM_DPICHANGED:
            // The dialog manager scales the template's font; the count font is the dialog's own.
            countFont = std::make_unique<CountFont>(HIWORD(wParam));
            ApplyCountFonts();
            return FALSE;
        default:
            return FALSE;
    }
}

void CVelkorDlg::OnInitDialog() {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(appIcon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETMARQUEE, TRUE, 0);
    for (const EditTextLimit& limit : EDIT_TEXT_LIMITS)
        SendDlgItemMessageW(window, limit.id, EM_LIMITTEXT, limit.characters, 0);
    // A vertically centred text is one line and never breaks.
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        if (entry.kind == ControlKind::StaticText && entry.id != IDC_STATIC &&
            !(entry.style & ALIGN_VCENTRE))
            BreakCaptionLines(Item(entry.id));
    }
    countFont = std::make_unique<CountFont>(WindowDpi(window));
    ApplyCountFonts();
    core.OnInitDialog(VersionTextOfProgram());
}

void CVelkorDlg::ApplyCountFonts() {
    for (int32_t id : IDC_COUNT_LABEL) {
        SendDlgItemMessageW(window, id, WM_SETFONT, reinterpret_cast<WPARAM>(countFont->Font()),
                            TRUE);
    }
    // Each value in the font its number fits.
    for (int32_t id : IDC_COUNT_VALUE)
        SetControlText(id, ControlText(id));
}

void CVelkorDlg::OnCommand(int32_t id, UINT code) {
    if (code == CBN_SELCHANGE && id == IDC_PERIOD_COMBO) {
        core.OnPeriodSelChange();
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDC_LAN_RADIO:
        case IDC_USB_RADIO:
        case IDC_X2_RADIO:
        case IDC_X4_RADIO:
        case IDC_ENABLE_CHECK:
        case IDC_SINGLE_PHASE_RADIO:
        case IDC_TWO_PHASE_RADIO:
            core.UpdateControls();
            break;
        case IDC_CONNECT_BUTTON:
            core.OnConnectButton();
            break;
        case IDC_READ_SETTINGS_BUTTON:
            core.OnReadSettings();
            break;
        case IDC_WRITE_SETTINGS_BUTTON:
            core.OnApplySettings();
            break;
        case IDC_READ_COUNTS_BUTTON:
            core.OnReadCounts();
            break;
        case IDC_START_STOP_BUTTON:
            core.OnStartStop();
            break;
        case IDC_AUTO_UPDATE_CHECK:
            core.OnAutoUpdate();
            break;
        case IDCANCEL:  // Escape and the close box
            OnClose();
            break;
        default:  // IDOK: Enter that reached the dialog manager does nothing
            break;
    }
}

// Closing is never refused: the core ends what runs, then the window goes.
void CVelkorDlg::OnClose() {
    core.ShutDown();
    DestroyWindow(window);
}

void CVelkorDlg::PaintIconic() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, appIcon);
    EndPaint(window, &paint);
}

void CVelkorDlg::EnableControl(int32_t id, bool enable) {
    EnableWindow(Item(id), enable);
}

void CVelkorDlg::ShowControl(int32_t id, bool show) {
    // The busy display runs its marquee only while it is shown.
    if (id == IDC_PROGRESS_BAR) {
        SendDlgItemMessageW(window, id, PBM_SETMARQUEE, show, show ? MARQUEE_INTERVAL_MS : 0);
    }
    ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE);
}

void CVelkorDlg::SetControlText(int32_t id, const std::string& text) {
    const std::wstring wide = Widened(text);
    if (IsCountValue(id) && countFont) {
        SendDlgItemMessageW(window, id, WM_SETFONT,
                            reinterpret_cast<WPARAM>(countFont->Fitting(Item(id), wide)), FALSE);
    }
    SetWindowTextW(Item(id), wide.c_str());
}

std::string CVelkorDlg::ControlText(int32_t id) const {
    const HWND item = Item(id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return Narrowed(text);
}

bool CVelkorDlg::IsChecked(int32_t id) const {
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

void CVelkorDlg::SetChecked(int32_t id, bool checked) {
    CheckDlgButton(window, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CVelkorDlg::SetListEntries(int32_t id, const std::vector<std::string>& entries) {
    SendDlgItemMessageW(window, id, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries) {
        const std::wstring wide = Widened(entry);
        SendDlgItemMessageW(window, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

int32_t CVelkorDlg::Selection(int32_t id) const {
    const LRESULT index = SendDlgItemMessageW(window, id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int32_t>(index);
}

void CVelkorDlg::SetSelection(int32_t id, int32_t index) {
    SendDlgItemMessageW(window, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CVelkorDlg::ShowMessage(const std::string& text) {
    MessageBoxW(window, Widened(text).c_str(), ApplicationName().c_str(), MB_OK);
}

void CVelkorDlg::SetTimer(int32_t milliseconds) {
    ::SetTimer(window, AUTO_UPDATE_TIMER_ID, static_cast<UINT>(milliseconds), nullptr);
}

void CVelkorDlg::KillTimer() {
    if (window) ::KillTimer(window, AUTO_UPDATE_TIMER_ID);
}

// Start/Stop waits on this thread, so no WM_SETCURSOR comes to set the cursor meanwhile.
void CVelkorDlg::BeginWaitCursor() {
    cursorBeforeWait = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void CVelkorDlg::EndWaitCursor() {
    SetCursor(cursorBeforeWait ? cursorBeforeWait : LoadCursorW(nullptr, IDC_ARROW));
}

std::vector<SerialPortDescription> CVelkorDlg::EnumerateSerialPorts() {
    std::vector<SerialPortDescription> ports;
    for (const PresentPort& port : EnumeratePresentPorts().ports) {
        ports.push_back({port.friendlyName, port.portName, port.usb});
    }
    return ports;
}

// A task posted after the window has gone is dropped: no message reaches it any more.
void CVelkorDlg::PostToUiThread(std::function<void()> task) {
    tasks.Post(std::move(task), [this] { PostMessageW(window, WM_RUN_POSTED_TASK, 0, 0); });
}
