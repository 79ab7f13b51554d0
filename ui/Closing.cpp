#include "dialog/ControlIds.h"
#include "ui/VelkorDlg.h"

// Closing in any state: replies stop reaching the dialog, a waiting exchange is aborted, workers
// finish (their message boxes are not shown any more), and the link is closed.
// The link may outlive the dialog (it is the program's one session), so this also runs when the
// dialog is destroyed without having been closed.
void CVelkorDlg::ShutDown() {
    if (closing.exchange(true)) return;  // already closing: a second close waits for nothing
    MuteMessages(true);
    setEnabled(false);  // no new operation while the workers finish
    void* self = ReplyUserData();
    Session.userData.compare_exchange_strong(self, nullptr);
    KillTimer(AUTO_UPDATE_TIMER_ID);
    AutoUpdateSeconds.store(0);
    // An opening link does not heed the operator's abort, but it must not hold up the program's
    // end: a name being resolved or a connection being waited for ends at once.
    CancelOpening(Session);
    // Each wait of a worker's command sequence consumes the abort; keep it raised until all of
    // them are done.
    workers.WaitServingEvents([this] { AbortRequestedFlag.store(1); });
    KillTimer(AUTO_UPDATE_TIMER_ID);
    AbortRequestedFlag.store(0);
    CloseLink(Session);
    ResumeOpening(Session);  // no worker is left to open it; the session may serve again
    ConnState.store(Disconnected);
    setEnabled(true);
    MuteMessages(false);
    closing.store(false);
}

void CVelkorDlg::done(int result) {
    ShutDown();
    QDialog::done(result);
}
