#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "dialog/DialogCore.h"
#include "dialog/DialogView.h"
#include "dialog/PostedTaskQueue.h"
#include "winui/CountFont.h"

// A task posted to the user-interface thread by PostToUiThread: lParam and wParam unused; the
// dialog runs the oldest queued task.
constexpr UINT WM_RUN_POSTED_TASK = WM_APP + 2;

// The main dialog on Windows: made from the template table by the dialog manager, its messages
// routed to the dialog core, whose control states, texts and results it applies. It holds no
// behaviour of its own.
class CVelkorDlg final : public DialogView {
public:
    explicit CVelkorDlg(LinkSession& session);
    ~CVelkorDlg();
    CVelkorDlg(const CVelkorDlg&) = delete;
    CVelkorDlg& operator=(const CVelkorDlg&) = delete;

    // Creates the dialog window (shown) on the calling thread, which becomes its user-interface
    // thread; nullptr when the window system refuses.
    HWND Create();
    // Runs the dialog's message loop until the window is gone (Escape or the close box).
    void RunMessageLoop();
    HWND Window() const { return window; }
    DialogCore& Core() { return core; }

    // DialogView
    void EnableControl(int32_t id, bool enable) override;
    void ShowControl(int32_t id, bool show) override;
    void SetControlText(int32_t id, const std::string& text) override;
    std::string ControlText(int32_t id) const override;
    bool IsChecked(int32_t id) const override;
    void SetChecked(int32_t id, bool checked) override;
    void SetListEntries(int32_t id, const std::vector<std::string>& entries) override;
    int32_t Selection(int32_t id) const override;
    void SetSelection(int32_t id, int32_t index) override;
    void ShowMessage(const std::string& text) override;
    void SetTimer(int32_t milliseconds) override;
    void KillTimer() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::vector<SerialPortDescription> EnumerateSerialPorts() override;
    void PostToUiThread(std::function<void()> task) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int32_t id, UINT code);
    void OnClose();
    void PaintIconic();
    void ApplyCountFonts();
    // The message loop's look at a queued message before the dialog manager's: Enter goes nowhere.
    bool PreTranslateMessage(const MSG& message) const;
    HWND Item(int32_t id) const { return GetDlgItem(window, id); }

    // Written on the user-interface thread when the window is made and when it is gone; read by
    // PostToUiThread on any thread.
    std::atomic<HWND> window{nullptr};
    HICON appIcon;
    HICON smallIcon;
    std::unique_ptr<CountFont> countFont;
    HCURSOR cursorBeforeWait = nullptr;
    PostedTaskQueue tasks;  // filled from any thread; closed when the window goes
    // Last: destroyed first, while the view it shuts down through is still whole.
    DialogCore core;
};
