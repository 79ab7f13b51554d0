// The command line of velkor-sim, in-process.
#include <gtest/gtest.h>

#include "SimOptions.h"

namespace {

ParsedOptions Parse(std::vector<std::string> args) {
    return ParseOptions(args);
}

const UnitPlan* PlanOf(const SimOptions& o, int node) {
    for (const UnitPlan& plan : o.units)
        if (plan.identity.node == node) return &plan;
    return nullptr;
}

TEST(SimOptions, Defaults) {
    const ParsedOptions p = Parse({});
    ASSERT_EQ(p.error, "");
    EXPECT_TRUE(p.options.tcp);
    EXPECT_EQ(p.options.host, "127.0.0.1");
    EXPECT_EQ(p.options.port, 10003);
    EXPECT_EQ(p.options.source.rateHz, 5u);
    EXPECT_FALSE(p.options.notice.has_value());
    struct Expected {
        int node, code, sub, id;
    };
    const Expected units[] = {
        {1, 2, 0, 1}, {2, 3, 0, 2}, {3, 4, 0, 3}, {4, 1, 0, 4}, {5, 15, 1, 5}};
    ASSERT_EQ(p.options.units.size(), 5u);
    for (const Expected& e : units) {
        const UnitPlan* plan = PlanOf(p.options, e.node);
        ASSERT_NE(plan, nullptr) << e.node;
        EXPECT_EQ(plan->identity.modelCode, e.code);
        EXPECT_EQ(plan->identity.subCode, e.sub);
        EXPECT_EQ(plan->identity.unitId, e.id);
        EXPECT_FALSE(plan->counting);
    }
}

TEST(SimOptions, UnitForms) {
    struct Case {
        std::string text;
        int node, code, sub, id;
    };
    const Case cases[] = {
        {"7:2", 7, 2, 0, 7},           {"7:15:2", 7, 15, 2, 7},   {"7:15:2:9", 7, 15, 2, 9},
        {"7:3::12", 7, 3, 0, 12},      {"0:2:0:-1", 0, 2, 0, -1}, {"254:0x0F:3", 254, 15, 3, 14},
        {"9:-31:0:15", 9, -31, 0, 15},
    };
    for (const Case& c : cases) {
        const ParsedOptions p = Parse({"--unit", c.text});
        ASSERT_EQ(p.error, "") << c.text;
        ASSERT_EQ(p.options.units.size(), 1u) << "the first --unit replaces the default set";
        const UnitIdentity& id = p.options.units[0].identity;
        EXPECT_EQ(id.node, c.node) << c.text;
        EXPECT_EQ(id.modelCode, c.code) << c.text;
        EXPECT_EQ(id.subCode, c.sub) << c.text;
        EXPECT_EQ(id.unitId, c.id) << c.text;
    }
    EXPECT_EQ(Parse({"--unit", "1:2", "--unit=2:3"}).options.units.size(), 2u);
}

TEST(SimOptions, SettingsAndPresetsApplyToTheFinalUnits) {
    const ParsedOptions p =
        Parse({"--settings", "7:mode=3,clear=1,period=2,debounce=10,edges=10010,counting=1",
               "--count", "7:4:-1", "--count", "7:0:0x7FFFFFFF", "--unit", "7:2"});
    ASSERT_EQ(p.error, "");
    const UnitPlan& plan = p.options.units.at(0);
    EXPECT_EQ(plan.settings.flags, 0x0F);
    EXPECT_EQ(plan.settings.period, 2);
    EXPECT_EQ(plan.settings.debounce, 10);
    EXPECT_EQ(plan.settings.edges, (std::array<int, 5>{1, 0, 0, 1, 0}));
    EXPECT_TRUE(plan.counting);
    EXPECT_EQ(plan.presets[4], 0xFFFFFFFFu);
    EXPECT_EQ(plan.presets[0], 0x7FFFFFFFu);
    EXPECT_FALSE(plan.presets[1].has_value());

    EXPECT_EQ(Parse({"--settings", "1:clear=1,mode=2"}).options.units[0].settings.flags, 0x07);
    EXPECT_EQ(Parse({"--settings", "1:flags=6"}).options.units[0].settings.flags, 6);
    EXPECT_EQ(Parse({"--settings", "1:mode=0"}).options.units[0].settings.flags, 0);

    // Raw bytes are kept as the value they stand for: the byte minus 0x20.
    const UnitSettings raw =
        Parse({"--settings", "1:rawperiod=0x40,rawdebounce=0x1F,rawedge1=0x05,rawedge5=0xFF"})
            .options.units[0]
            .settings;
    EXPECT_EQ(raw.period, 32);
    EXPECT_EQ(raw.debounce, -1);
    EXPECT_EQ(raw.edges, (std::array<int, 5>{-27, 1, 1, 1, 223}));
}

TEST(SimOptions, TransportsNoticeAndFaults) {
    ParsedOptions p = Parse({"--listen",
                             "[::1]:0",
                             "--notice",
                             "3@50",
                             "--silent",
                             "py,PG",
                             "--wrong-length=md",
                             "--delay-ms",
                             "20",
                             "--drop-every",
                             "3",
                             "--close-after",
                             "4",
                             "--garbage",
                             "--overflow",
                             "--queued-junk",
                             "--upper-echo",
                             "--rate",
                             "1000",
                             "--z-every",
                             "7"});
    ASSERT_EQ(p.error, "");
    const SimOptions& o = p.options;
    EXPECT_EQ(o.host, "::1");
    EXPECT_EQ(o.port, 0);
    ASSERT_TRUE(o.notice.has_value());
    EXPECT_EQ(o.notice->status, 3);
    EXPECT_EQ(o.notice->delayMs, 50);
    EXPECT_EQ(o.faults.silent, (std::set<std::string>{"PY", "PG"}));
    EXPECT_EQ(o.faults.wrongLength, (std::set<std::string>{"MD"}));
    EXPECT_EQ(o.faults.delayMs, 20);
    EXPECT_EQ(o.faults.dropEvery, 3);
    EXPECT_EQ(o.faults.closeAfter, 4);
    EXPECT_TRUE(o.faults.garbage && o.faults.overflow && o.faults.queuedJunk && o.faults.upperEcho);
    EXPECT_EQ(o.source.rateHz, 1000u);
    EXPECT_EQ(o.source.zEvery, 7u);

    p = Parse({"--listen", "off", "--pty", "/tmp/x"});
    ASSERT_EQ(p.error, "");
    EXPECT_FALSE(p.options.tcp);
    EXPECT_EQ(p.options.ptyLink, "/tmp/x");
}

TEST(SimOptions, RefusesWhatCannotBeServed) {
    const std::vector<std::vector<std::string>> cases = {
        {"--unit", "255:2"},
        {"--unit", "1"},
        {"--unit", "1:2:3:4:5"},
        {"--unit", "1:168"},       // the model character would be the end byte
        {"--unit", "1:2:0:-153"},  // so would the ID character
        {"--unit", "1:224"},
        {"--unit", "1:2", "--unit", "1:3"},
        {"--settings", "9:mode=1"},
        {"--settings", "1:mode=4"},
        {"--settings", "1:edges=123456"},
        {"--settings", "3:edges=111"},  // node 3 has two inputs
        {"--settings", "1:edges=1a"},
        {"--settings", "1:flags=3,mode=1"},
        {"--settings", "1:foo=1"},
        {"--settings", "1:mode"},
        {"--settings", "1:rawperiod=0x100"},
        {"--settings", "1:rawdebounce=0xC8"},  // the end byte
        {"--settings", "3:rawedge3=0x21"},     // node 3 has two inputs
        {"--settings", "1:rawedge0=0x21"},
        {"--count", "1:5:1"},
        {"--count", "4:0:1"},  // no pulse inputs
        {"--count", "1:0:4294967296"},
        {"--count", "1:0"},
        {"--rate", "-1"},
        {"--rate", "1000001"},
        {"--rate", "5x"},
        {"--z-every", "0"},
        {"--notice", "168"},
        {"--notice", "1@x"},
        {"--silent", "P"},
        {"--silent", "PYY"},
        {"--silent", "XX"},  // no unit knows it
        {"--silent", "PY,QQ"},
        {"--wrong-length", "ZZ"},
        {"--wrong-length", "P1"},
        {"--listen", "127.0.0.1"},
        {"--listen", "127.0.0.1:65536"},
        {"--listen", "off"},
        {"--pty", ""},
        {"--bogus"},
        {"--delay-ms"},
        {"--garbage=1"},
        {"--drop-every", "0"},
        {"--close-after", "0"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args)
            shown += a + " ";
        EXPECT_NE(Parse(args).error, "") << shown;
    }
}

}  // namespace
