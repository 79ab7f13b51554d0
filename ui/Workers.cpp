#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>

#include "ui/ControlIds.h"
#include "ui/VelkorDlg.h"

// Workers drive the controls through blocking calls on the user-interface thread, so the dialog
// keeps track of them: closing waits for them while it still serves those calls.
void CVelkorDlg::StartWorker(std::function<void()> body) {
    ReapFinishedWorkers();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    runningWorkers.fetch_add(1);
    workers.push_back({std::thread([this, body = std::move(body), finished] {
                           body();
                           // Finished before it stops counting as running: once none runs,
                           // every worker can be joined.
                           finished->store(true);
                           runningWorkers.fetch_sub(1);
                       }),
                       finished});
}

void CVelkorDlg::ReapFinishedWorkers() {
    for (auto worker = workers.begin(); worker != workers.end();) {
        if (worker->finished->load()) {
            worker->thread.join();
            worker = workers.erase(worker);
        } else {
            ++worker;
        }
    }
}

// Closing in any state: replies stop reaching the dialog, a waiting exchange is aborted, workers
// finish (their message boxes are not shown any more), and the link is closed.
// The link may outlive the dialog (it is the program's one session), so this also runs when the
// dialog is destroyed without having been closed.
void CVelkorDlg::ShutDown() {
    if (closing.exchange(true)) return;  // already closing: a second close waits for nothing
    setEnabled(false);                   // no new operation while the workers finish
    void* self = ReplyUserData();
    Session.userData.compare_exchange_strong(self, nullptr);
    KillTimer(AUTO_UPDATE_TIMER_ID);
    AutoUpdateSeconds.store(0);
    while (runningWorkers.load() > 0) {
        // Each wait of a worker's command sequence consumes the abort; keep it raised until all
        // of them are done.
        AbortRequestedFlag.store(1);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ReapFinishedWorkers();
    KillTimer(AUTO_UPDATE_TIMER_ID);
    AbortRequestedFlag.store(0);
    CloseLink(Session);
    ConnState.store(Disconnected);
    setEnabled(true);
    closing.store(false);
}

void CVelkorDlg::done(int result) {
    ShutDown();
    QDialog::done(result);
}
