#include "SimFixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QThread>

#include "dialog/ControlIds.h"
#include "dialog/UiTiming.h"
#include "link/LinkSession.h"

namespace {

constexpr int32_t REPLY_POLL_MS = 5;

}  // namespace

void SimFixture::SetUp() {
    DialogTest::SetUp();
    savedMillisecondsPerSecond = TheUiTiming().millisecondsPerSecond.load();
    // The reply wait keeps its 10 s but looks every 5 ms, so an exchange costs no 100 ms pass.
    session.Timing().replyPollMs.store(REPLY_POLL_MS);
    session.Timing().replyPolls.store(10000 / REPLY_POLL_MS);
    dialog->show();
}

void SimFixture::TearDown() {
    // The dialog lets go of its link and workers first, then the peer goes away.
    DialogTest::TearDown();
    sim.reset();
    TheUiTiming().millisecondsPerSecond.store(savedMillisecondsPerSecond);
}

void SimFixture::StartSim(std::vector<std::string> args) {
    logPath = TempPath("sim.log");
    args.insert(args.begin(), {"--listen", "127.0.0.1:0", "--log", logPath});
    sim = std::make_unique<SimProcess>(std::move(args));
    ASSERT_TRUE(sim->Started()) << "velkor-sim did not start";
}

int SimFixture::SimPort() const {
    return sim ? sim->Port() : -1;
}

void SimFixture::ClickConnect(int node) {
    Click(IDC_LAN_RADIO);
    Type(IDC_ADDRESS_EDIT, "127.0.0.1");
    Type(IDC_TCP_PORT_EDIT, QString::number(SimPort()));
    Type(IDC_NODE_EDIT, QString::number(node));
    Click(IDC_CONNECT_BUTTON);
}

int32_t SimFixture::ConnectThroughUi(int node, int timeoutMs) {
    ClickConnect(node);
    // The attempt runs on a worker that the click started (or none, when a check refused it).
    WaitUntil([this] { return Inside().RunningWorkers() == 0; }, timeoutMs);
    return Inside().ConnState().load();
}

void SimFixture::ConnectUnit(int node) {
    const int32_t handledBefore = Inside().CountUpdatesHandled();
    ASSERT_EQ(ConnectThroughUi(node), Connected)
        << "messages: " << (messages.empty() ? std::string() : messages.back().toStdString());
    // Connecting ends with a count request per counted input; let those replies land, so that
    // they cannot be mistaken for the replies of the test's own requests. The requests are on
    // the wire already, so a short quiet spell with every logged request answered means all.
    const auto allAnswered = [this, handledBefore] {
        return static_cast<size_t>(Inside().CountUpdatesHandled() - handledBefore) ==
               CountRequestsSince(0);
    };
    for (int quietChecks = 0; quietChecks < 3;) {
        ASSERT_TRUE(WaitUntil(allAnswered)) << "count replies of the connection missing";
        Settle(30);
        quietChecks = allAnswered() ? quietChecks + 1 : 0;
    }
}

void SimFixture::Click(int32_t id) {
    auto* button = qobject_cast<QAbstractButton*>(dialog->Control(id));
    ASSERT_NE(button, nullptr) << "no button " << id;
    if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button)) {
        ClickIndicator(button);
    } else {
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

void SimFixture::Type(int32_t id, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(dialog->Control(id));
    ASSERT_NE(edit, nullptr) << "no edit " << id;
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

bool SimFixture::WaitForWorkers(int timeoutMs) {
    return WaitUntil([this] { return Inside().RunningWorkers() == 0; }, timeoutMs);
}

bool SimFixture::WaitForFrames(size_t count, int timeoutMs) {
    return WaitUntil([this, count] { return ReceivedFrames().size() >= count; }, timeoutMs);
}

bool SimFixture::WaitForCountUpdates(int32_t count, int timeoutMs) {
    const int32_t target = Inside().CountUpdatesHandled() + count;
    return WaitUntil([this, target] { return Inside().CountUpdatesHandled() >= target; },
                     timeoutMs);
}

void SimFixture::Settle(int ms) {
    QTest::qWait(ms);
}

std::vector<std::string> SimFixture::ReceivedFrames() const {
    return ReceivedFramesOfLog(FileText(logPath));
}

std::vector<std::string> SimFixture::ReceivedCommands(size_t from) const {
    std::vector<std::string> commands;
    const std::vector<std::string> frames = ReceivedFrames();
    for (size_t i = from; i < frames.size(); ++i)
        commands.push_back(CommandOf(frames[i]));
    return commands;
}

size_t SimFixture::CountRequestsSince(size_t from) const {
    size_t requests = 0;
    for (const std::string& command : ReceivedCommands(from))
        requests += command.rfind("PG", 0) == 0 ? 1 : 0;
    return requests;
}

void SimFixture::SetReplyWaitMs(int32_t ms) {
    session.Timing().replyPollMs.store(REPLY_POLL_MS);
    session.Timing().replyPolls.store(ms / REPLY_POLL_MS);
}
