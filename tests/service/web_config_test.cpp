// The [web] section read as a table of cases, and the everyday buttons the page is given.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <map>
#include <string>

#include "service/service_config.h"
#include "service/web_catalogue.h"

namespace panel {
namespace {

struct WebCase {
    const char* name;
    const char* text;
    std::vector<QByteArray> origins;
    int threshold;
    std::string problem;  // the first problem; empty when none
};

class WebConfigTest : public ::testing::TestWithParam<WebCase> {};

TEST_P(WebConfigTest, ReadsTheOriginsAndTheMarkOrTellsWhy) {
    const WebCase& c = GetParam();
    const ConfigRead read = parseServiceConfig(c.text, QStringLiteral("/etc/s.ini"));
    if (!c.problem.empty()) {
        ASSERT_FALSE(read.problems.empty());
        EXPECT_EQ(read.problems.front().toStdString(), c.problem);
        return;
    }
    ASSERT_TRUE(read.problems.empty()) << read.problems.front().toStdString();
    EXPECT_EQ(read.config.web.corsOrigins, c.origins);
    EXPECT_EQ(read.config.web.lampHoursThreshold, c.threshold);
}

const char* const kNoOrigin =
    "is no origin: write it as a browser sends it, like https://desk.example.org or "
    "http://10.0.0.5:8080";

std::string refused(const char* origin) {
    return std::string("/etc/s.ini:2: '") + origin + "' " + kNoOrigin;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebConfigTest,
    ::testing::Values(
        WebCase{"NoneUnlessNamed", "", {}, 2000, ""},
        WebCase{"TwoOnALine",
                "[web]\ncors_origins = https://a.example, http://b.example:8080\n",
                {"https://a.example", "http://b.example:8080"},
                2000,
                ""},
        WebCase{"OneALineAndDefaultPortsDropped",
                "[web]\ncors_origins = HTTPS://A.example:443\ncors_origins = http://b:80\n",
                {"https://a.example", "http://b"},
                2000,
                ""},
        WebCase{"Threshold", "[web]\nlamp_hours_threshold = 1500\n", {}, 1500, ""},
        WebCase{"Star", "[web]\ncors_origins = *\n", {}, 0, refused("*")},
        WebCase{"WithPath",
                "[web]\ncors_origins = https://a.example/x\n",
                {},
                0,
                refused("https://a.example/x")},
        WebCase{"OtherScheme", "[web]\ncors_origins = file://a\n", {}, 0, refused("file://a")},
        WebCase{"Null", "[web]\ncors_origins = null\n", {}, 0, refused("null")},
        WebCase{"EmptyList",
                "[web]\ncors_origins = ,\n",
                {},
                0,
                "/etc/s.ini:2: cors_origins needs at least one origin"},
        WebCase{"ThresholdWord",
                "[web]\nlamp_hours_threshold = many\n",
                {},
                0,
                "/etc/s.ini:2: lamp_hours_threshold must be a whole number from 0 to 1000000, "
                "not 'many'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebCatalogue, ThePageHasTheWindowsEverydayButtonsAndPowerOffAsksFirst) {
    std::map<QString, int> perSection;
    QStringList asking;
    for (const QJsonValue& value : commandsJson().value("commands").toArray()) {
        const QJsonObject command = value.toObject();
        ++perSection[command.value("section").toString()];
        EXPECT_FALSE(command.value("code").toString().isEmpty());
        if (command.value("confirm").toBool()) asking.append(command.value("code").toString());
    }
    const std::map<QString, int> expected{
        {"POWER", 2},  {"INPUT MODE SET", 5}, {"SOUND MUTE", 2}, {"NO SHOW", 2},
        {"FREEZE", 2}, {"MENU", 2},           {"READ", 6},
    };
    EXPECT_EQ(perSection, expected);
    EXPECT_EQ(asking, QStringList{QStringLiteral("C01")});
}

}  // namespace
}  // namespace panel
