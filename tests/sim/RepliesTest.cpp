// Every reply of velkor-sim byte for byte, over loopback TCP, with the test's own client.
#include <gtest/gtest.h>

#include "SimProcess.h"

namespace {

struct Exchange {
    std::string command;  // without end byte
    std::string reply;    // without end byte
};

void ExpectReplies(WireClient& client, const std::vector<Exchange>& table) {
    for (const Exchange& e : table)
        EXPECT_EQ(Shown(client.Exchange(e.command)), Shown(Framed(e.reply)))
            << "command " << Shown(e.command);
}

class SimReplies : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args = {}) {
        sim_ = std::make_unique<SimProcess>(std::move(args));
        ASSERT_TRUE(sim_->Started());
        client_ = std::make_unique<WireClient>(WireClient::Tcp(sim_->Port()));
        ASSERT_TRUE(client_->Connected());
    }
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<WireClient> client_;
};

TEST_F(SimReplies, IdentificationOfTheDefaultUnits) {
    Start();
    const std::vector<Exchange> table = {
        {"01MD", "01md\x2E\x22"},      // ID 1, code 2
        {"02MD", "02md\x2D\x23"},      // ID 2, code 3
        {"03MD", "03md\x2C\x24"},      // ID 3, code 4
        {"04MD", "04md\x2B\x21"},      // ID 4, code 1: no pulse inputs
        {"05MD", "05md\x2A\x2F\x21"},  // ID 5, code 15, sub-code 1
    };
    ExpectReplies(*client_, table);
}

TEST_F(SimReplies, EveryCommandWithTheDefaultSettings) {
    Start();
    const std::vector<Exchange> table = {
        {"01PY", "01py\x21\x20\x20"}, {"01PH\x20", "01ph\x20\x21"}, {"01PH\x24", "01ph\x24\x21"},
        {"02PH\x22", "02ph\x22\x21"}, {"01PP", "01pp\x20"},         {"01PG\x20", "01pg 00000000"},
        {"01PC\x24\x22", "01pc"},     {"01PU\x21\x20\x20", "01pu"}, {"01PS\x20", "01ps"},
        {"02PY", "02py\x21\x20\x20"}, {"03PP", "03pp\x20"},
    };
    ExpectReplies(*client_, table);
}

// Indexes that are not inputs of the unit are still answered, so that the program's own range
// checks can be exercised.
TEST_F(SimReplies, IndexesBeyondTheInputsAreAnsweredWithNothingInThem) {
    Start();
    const std::vector<Exchange> table = {
        {"02PH\x23", "02ph\x23\x20"},  // DI4 of a 3-input unit
        {"03PH\x22", "03ph\x22\x20"},  // DI3 of a 2-input unit
        {"01PH\x2A", "01ph\x2A\x20"},  // index 10
        {"01PH\x10", "01ph\x10\x20"},  // index -16
        {"03PG\x24", "03pg$00000000"}, {"01PG\x7E", "01pg~00000000"},
        {"03PC\x24\x21", "03pc"},      {"03PH\x24", "03ph\x24\x20"},  // the edge was not stored
    };
    ExpectReplies(*client_, table);
}

TEST_F(SimReplies, NodeDigitsComeBackAsSent) {
    Start({"--unit", "0:2", "--unit", "10:3", "--unit", "254:4", "--unit", "171:2:0:11"});
    const std::vector<Exchange> table = {
        {"00MD", "00md\x2F\x22"}, {"0AMD", "0Amd\x25\x23"},     {"FEMD", "FEmd\x21\x24"},
        {"ABMD", "ABmd\x24\x22"}, {"0APY", "0Apy\x21\x20\x20"}, {"FEPG\x21", "FEpg!00000000"},
    };
    ExpectReplies(*client_, table);
}

// A frame that gets no answer is followed by a probe; the first reply must be the probe's.
TEST_F(SimReplies, SilentForWhatNoUnitAnswers) {
    Start({"--unit", "1:2", "--unit", "10:3", "--unit", "4:1", "--unit", "5:15:1"});
    const std::string cases[] = {
        "09MD",  // no unit there
        "FFMD",  // node 255
        "0aMD",  // lower-case node digit
        "01md",  // lower-case letters
        "01Md",
        "01XX",          // unknown command
        "01PH",          // parameter missing
        "01PG\x20\x20",  // one too many
        "01MD\x20",
        "01PC\x20",
        "01PU\x21\x20",
        "01PS",
        "04PY",  // a unit without pulse inputs knows "MD" only
        "04PG\x20",
        "05PS\x28",
        "01",                          // too short
        "",                            // a lone end byte
        std::string("01PH\0", 5),      // a 0 byte
        std::string("01PC\0\x22", 6),  // would set DI1's edge from a 0
        std::string("01PS\0", 5),
    };
    for (const std::string& frame : cases) {
        client_->SendCommand(frame);
        EXPECT_EQ(Shown(client_->Exchange("01PP")), Shown(Framed("01pp\x20")))
            << "after " << Shown(frame);
    }
    EXPECT_EQ(Shown(client_->Exchange("01PH\x20")), Shown(Framed("01ph\x20\x21")))
        << "DI1 still counts rising edges";
    // The unit without pulse inputs is there all the same.
    EXPECT_EQ(Shown(client_->Exchange("04MD")), Shown(Framed("04md\x2B\x21")));
}

TEST_F(SimReplies, OverlongRunIsDiscardedUpToTheNextEndByte) {
    Start();
    client_->Send("01MD" + std::string(200, 'A') + Framed(""));
    client_->Send(std::string(123, 'B') + Framed("01PP"));  // 128 bytes: too long as well
    EXPECT_EQ(Shown(client_->Exchange("01PY")), Shown(Framed("01py\x21\x20\x20")));
}

TEST_F(SimReplies, SettingsRoundTrip) {
    Start();
    struct Case {
        std::string mode, period, debounce, flags;
    };
    const Case cases[] = {
        {"\x2F", "\x24", "\x2A", "\x2F"},  // x4, clear signal, 10 min, 20 ms
        {"\x23", "\x21", "\x22", "\x23"},  // x2, 1 s, 4 ms
        {"\x2B", "\x22", "\x23", "\x2B"},
        {"\x27", "\x23", "\x29", "\x27"},
        {"\x25", "\x20", "\x28", "\x25"},
        {"\x24", "\x20", "\x21", "\x24"},  // debounce value 1 comes back as it went
        {"\x20", "\x20", "\x20", "\x20"},
        {"\x3F", "\x7E", "\x7F", "\x2F"},  // only the low four bits of the mode are kept
        {"\x30", "\x25", "\x2B", "\x20"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Shown(client_->Exchange("01PU" + c.mode + c.period + c.debounce)),
                  Shown(Framed("01pu")));
        EXPECT_EQ(Shown(client_->Exchange("01PY")),
                  Shown(Framed("01py" + c.flags + c.period + c.debounce)))
            << "mode " << Shown(c.mode);
    }
    for (int index = 0; index < 5; ++index)
        for (int edge : {0, 2, 1, 9}) {
            const std::string i(1, char(0x20 + index)), e(1, char(0x20 + edge));
            EXPECT_EQ(Shown(client_->Exchange("01PC" + i + e)), Shown(Framed("01pc")));
            EXPECT_EQ(Shown(client_->Exchange("01PH" + i)), Shown(Framed("01ph" + i + e)))
                << "index " << index << " edge " << edge;
        }
    // Settings belong to one unit.
    EXPECT_EQ(Shown(client_->Exchange("02PY")), Shown(Framed("02py\x21\x20\x20")));
}

TEST_F(SimReplies, StartStopAndCountingState) {
    Start();
    const struct {
        std::string param, state;
    } cases[] = {{"\x28", "\x28"}, {"\x20", "\x20"}, {"\x29", "\x28"}, {"\x21", "\x20"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Shown(client_->Exchange("01PS" + c.param)), Shown(Framed("01ps")));
        EXPECT_EQ(Shown(client_->Exchange("01PP")), Shown(Framed("01pp" + c.state)))
            << "after PS " << Shown(c.param);
    }
}

TEST_F(SimReplies, InitialSettingsAndPresetCounts) {
    Start({"--settings", "1:mode=3,clear=1,period=2,debounce=10,edges=10010,counting=1",
           "--settings", "2:flags=9,period=95", "--count", "2:2:-1", "--count", "2:0:0x7FFFFFFF",
           "--count", "3:1:2147483648"});
    const std::vector<Exchange> table = {
        {"01PY", "01py\x2F\x22\x2A"},   {"01PH\x20", "01ph\x20\x21"},
        {"01PH\x21", "01ph\x21\x20"},   {"01PH\x22", "01ph\x22\x20"},
        {"01PH\x23", "01ph\x23\x21"},   {"01PH\x24", "01ph\x24\x20"},
        {"01PP", "01pp\x28"},           {"02PY", "02py\x29\x7F\x20"},
        {"02PG\x22", "02pg\"FFFFFFFF"}, {"02PG\x20", "02pg 7FFFFFFF"},
        {"03PG\x21", "03pg!80000000"},  {"03PY", "03py\x21\x20\x20"},
    };
    ExpectReplies(*client_, table);
}

}  // namespace
