#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialog/PortTable.h"

// What the dialog core asks of a view (the Qt window on Linux, the Win32 dialog on Windows).
// Controls are named by their identifiers (dialog/ControlIds.h); texts are UTF-8. Every call but
// PostToUiThread is made on the user-interface thread only, and none of them may be made from
// another thread: the core's workers only post.
class DialogView {
public:
    // ----- Controls --------------------------------------------------------------------------
    virtual void EnableControl(int32_t id, bool enable) = 0;
    virtual void ShowControl(int32_t id, bool show) = 0;
    // Caption of a button or static text, text of an edit. A count display shows every character
    // of the text it is given, narrowing its font when the text is wider than the display.
    virtual void SetControlText(int32_t id, const std::string& text) = 0;
    virtual std::string ControlText(int32_t id) const = 0;
    virtual bool IsChecked(int32_t id) const = 0;
    // Sets exactly this button; a radio button may also be cleared.
    virtual void SetChecked(int32_t id, bool checked) = 0;
    // Entries of a drop-down list, replacing what it held; none is selected afterwards.
    virtual void SetListEntries(int32_t id, const std::vector<std::string>& entries) = 0;
    // Selected entry of a drop-down list, -1 for none.
    virtual int32_t Selection(int32_t id) const = 0;
    virtual void SetSelection(int32_t id, int32_t index) = 0;

    // ----- Window ----------------------------------------------------------------------------
    // The modal message box (the text alone, the application name as caption, one OK button).
    // Its own event loop may run other events, posted results included, before it returns.
    virtual void ShowMessage(const std::string& text) = 0;
    // The dialog's one timer (timer 1000): started with a period, or stopped. Each tick calls
    // DialogCore::OnTimer.
    virtual void SetTimer(int32_t milliseconds) = 0;
    virtual void KillTimer() = 0;
    // The wait cursor while Start/Stop waits for its reply on the user-interface thread.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // The serial ports present now (the platform's enumeration).
    virtual std::vector<SerialPortDescription> EnumerateSerialPorts() = 0;

    // ----- Threads ---------------------------------------------------------------------------
    // Runs `task` later on the user-interface thread. Safe from any thread, never waits; a task
    // still queued when the window is destroyed is dropped.
    virtual void PostToUiThread(std::function<void()> task) = 0;

protected:
    ~DialogView() = default;
};
