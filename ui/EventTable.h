#pragma once

#include <array>
#include <cstdint>
#include <variant>

#include "ui/VelkorDlg.h"

// Events the dialog handles, named as the window system names them.
enum class Notification {
    BN_CLICKED,       // a button, check box or radio button was clicked
    CBN_SELCHANGE,    // the operator chose an entry of a drop-down list
    WM_TIMER,         // a tick of the dialog's timer
    WM_DEVICECHANGE,  // a port arrived or was removed
};

using EventHandler = std::variant<void (CVelkorDlg::*)(), int (CVelkorDlg::*)(uint32_t, uint32_t)>;

struct EventEntry {
    Notification notification;
    int32_t source;  // control identifier; the timer's identifier for WM_TIMER; 0: the system
    EventHandler handler;
};

// Every event of the dialog with its handler. Not listed, because they are taken from the queue
// before any handler (pre-translation): Return/Enter (swallowed) and WM_COUNT_UPDATE
// (OnCountUpdate). The minimised window and its drag image show the window icon.
extern const std::array<EventEntry, 16> EVENT_TABLE;
