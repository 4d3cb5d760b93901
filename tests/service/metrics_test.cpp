// /metrics as Prometheus reads it: hostile projector names cannot break a line or a label.
#include <gtest/gtest.h>

#include "service/metrics.h"

namespace panel {
namespace {

struct LabelCase {
    const char* name;
    const char* text;
    const char* escaped;
};

class LabelValueTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(LabelValueTest, EscapesWhatWouldEndTheLabelOrTheLine) {
    EXPECT_EQ(labelValue(QString::fromUtf8(GetParam().text)).toStdString(), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(Cases, LabelValueTest,
                         ::testing::Values(LabelCase{"Plain", "Hall A", "Hall A"},
                                           LabelCase{"Quote", "a\"} 1\nx", "a\\\"} 1\\nx"},
                                           LabelCase{"Backslash", "a\\n", "a\\\\n"},
                                           LabelCase{"Utf8", "講義室", "講義室"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrometheusText, EveryProjectorHasOneStateAndItsFiguresAndEveryLineIsWhole) {
    ProjectorRow answered;
    answered.projector.name = QStringLiteral("Hall \"A\"\n");
    answered.reading = Reading::Answered;
    answered.status = QStringLiteral("Power ON");
    answered.lampHours = 1234;
    answered.lastAnswered = QDateTime::fromSecsSinceEpoch(1700000000);
    ProjectorRow silent;
    silent.projector.name = QStringLiteral("B");
    silent.reading = Reading::NoAnswer;
    ServiceFigures figures{std::chrono::milliseconds(1567), {{200, 3}, {401, 2}}};
    const QByteArray text = prometheusText({answered, silent}, figures);
    const QList<QByteArray> lines = text.split('\n');
    const char* expected[] = {
        "projector_state{projector=\"Hall \\\"A\\\"\\n\",state=\"on\"} 1",
        "projector_state{projector=\"Hall \\\"A\\\"\\n\",state=\"standby\"} 0",
        "projector_state{projector=\"B\",state=\"no-answer\"} 1",
        "projector_lamp_hours{projector=\"Hall \\\"A\\\"\\n\"} 1234",
        "projector_last_poll_answered{projector=\"Hall \\\"A\\\"\\n\"} 1",
        "projector_last_poll_answered{projector=\"B\"} 0",
        "projector_last_answer_timestamp_seconds{projector=\"Hall \\\"A\\\"\\n\"} 1700000000",
        "projector_poll_duration_seconds 1.567",
        "projector_paneld_http_requests_total{code=\"401\"} 2",
        "# TYPE projector_paneld_http_requests_total counter",
    };
    for (const char* line : expected) EXPECT_TRUE(lines.contains(line)) << line;
    int stateOnes = 0;
    for (const QByteArray& line : lines) {
        if (line.startsWith("projector_state{") && line.endsWith("} 1")) ++stateOnes;
        // Every sample line is a name, labels, one space and a number.
        if (!line.isEmpty() && !line.startsWith('#')) {
            EXPECT_EQ(line.count(' ') - line.left(line.lastIndexOf('}') + 1).count(' '), 1)
                << line.toStdString();
        }
    }
    EXPECT_EQ(stateOnes, 2);
    EXPECT_FALSE(text.contains("projector_lamp_hours{projector=\"B\"}"));
}

}  // namespace
}  // namespace panel
