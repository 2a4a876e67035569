#include "app/command_line.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace botpilot {
namespace {

Settings Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "botpilot");
    Settings settings;
    ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), settings);
    return settings;
}

TEST(CommandLineTest, NoArgumentsKeepTheDefaults) {
    const Settings settings = Parse({});
    EXPECT_EQ(settings.serverHost, "localhost");
    EXPECT_EQ(settings.serverPort, 9386);
    EXPECT_FALSE(settings.selfTest);
    EXPECT_FALSE(settings.drawing);
}

TEST(CommandLineTest, OptionsAndTheirValues) {
    EXPECT_EQ(Parse({"/s", "10.0.0.7"}).serverHost, "10.0.0.7");
    EXPECT_EQ(Parse({"/s", "first", "/s", "second"}).serverHost, "second");
    EXPECT_EQ(Parse({"/x", "ignored", "/s", "arena"}).serverHost, "arena");
    EXPECT_EQ(Parse({"/S", "case matters"}).serverHost, "localhost");

    struct PortCase {
        const char* value;
        std::int32_t port;
    };
    for (const PortCase& c :
         {PortCase{"9500", 9500}, PortCase{"abc", 0}, PortCase{"-3", -3}, PortCase{" 12x", 12},
          PortCase{"70000", 70000}, PortCase{"99999999999", 2147483647},
          PortCase{"-99999999999", -2147483647 - 1}}) {
        EXPECT_EQ(Parse({"/p", c.value}).serverPort, c.port) << c.value;
        EXPECT_EQ(Parse({"/r", c.value}).cycleRate, c.port) << c.value;
    }
    EXPECT_EQ(Parse({}).cycleRate, 0);

    struct SwitchCase {
        const char* value;
        bool on;
    };
    for (const SwitchCase& c :
         {SwitchCase{"1", true}, SwitchCase{"01", true}, SwitchCase{"1x", true},
          SwitchCase{"2", false}, SwitchCase{"yes", false}, SwitchCase{"0", false},
          SwitchCase{"4294967297", false}}) {
        EXPECT_EQ(Parse({"/t", c.value}).selfTest, c.on) << c.value;
        EXPECT_EQ(Parse({"/d", c.value}).drawing, c.on) << c.value;
    }
    EXPECT_FALSE(Parse({"/t", "1", "/t", "0"}).selfTest);
}

TEST(CommandLineTest, OddArgumentCountThrowsTheBareText) {
    for (const std::vector<const char*>& arguments :
         {std::vector<const char*>{"/s"}, std::vector<const char*>{"/s", "host", "/t"}}) {
        try {
            Parse(arguments);
            FAIL() << "no error";
        } catch (const char* text) {
            EXPECT_STREQ(text, "Expected an even number of arguments");
        }
    }
}

} // namespace
} // namespace botpilot
