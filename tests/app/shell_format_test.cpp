// The shell mode without a port: the output lines and the command list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <vector>

#include "app/command_list.h"
#include "app/shell_mode.h"
#include "tests/support/expected_catalogue.h"

namespace panel {
namespace {

CodeAnswer powerOn() {
    return {"CR0", " C R 0 CR ", " 0 0 CR ", " Power ON", true, 1.5, {}};
}

CodeAnswer noAnswer() {
    return {"C00", " C 0 0 CR ", " X X X X", std::nullopt, false, std::nullopt, {}};
}

TEST(ShellOutputTest, TabLineIsCodeReceivedTraceAndDecodedText) {
    EXPECT_EQ(tabLine(powerOn()), QStringLiteral("CR0\t 0 0 CR \t Power ON"));
    // Nothing decoded: the last field is there, empty.
    EXPECT_EQ(tabLine(noAnswer()), QStringLiteral("C00\t X X X X\t"));
    // A Latin-1 code is shown as the character it stands for.
    CodeAnswer latin = noAnswer();
    latin.command = "C\xE9";
    EXPECT_EQ(tabLine(latin), QStringLiteral("C\u00E9\t X X X X\t"));
}

TEST(ShellOutputTest, JsonLineIsOneCompactObjectWithTypedKeys) {
    for (const CodeAnswer& answer : {powerOn(), noAnswer()}) {
        const QString line = jsonLine(answer);
        SCOPED_TRACE(line.toStdString());
        EXPECT_FALSE(line.contains(QLatin1Char('\n')));
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError);
        EXPECT_EQ(object.keys(), (QStringList{"command", "decoded", "first_byte_ms", "received",
                                              "replied", "sent"}));
        EXPECT_EQ(object["command"].toString().toStdString(), answer.command);
        EXPECT_EQ(object["sent"].toString().toStdString(), answer.sent);
        EXPECT_EQ(object["received"].toString().toStdString(), answer.received);
        EXPECT_EQ(object["replied"], QJsonValue(answer.replied));
        EXPECT_EQ(object["decoded"].isNull(), !answer.decoded);
        EXPECT_EQ(object["first_byte_ms"].isNull(), !answer.firstByteMs);
    }
    const QJsonObject on = QJsonDocument::fromJson(jsonLine(powerOn()).toUtf8()).object();
    EXPECT_EQ(on["decoded"], QJsonValue(" Power ON"));
    EXPECT_EQ(on["first_byte_ms"], QJsonValue(1.5));
}

std::vector<QString> sorted(std::vector<QString> codes) {
    std::sort(codes.begin(), codes.end());
    return codes;
}

TEST(CommandListTest, EveryButtonOnceWithItsCaptionGroupAndKind) {
    const std::vector<CommandListing> rows = commandListing();
    std::vector<QString> clicks;
    std::vector<QString> holds;
    for (const CommandListing& row : rows) (row.repeatMs ? holds : clicks).push_back(row.code);
    std::vector<QString> oneShotCodes;
    for (const auto& c : expected::kOneShots) oneShotCodes.push_back(QString::fromLatin1(c.code));
    std::vector<QString> holdCodes;
    for (const auto& c : expected::kHolds) holdCodes.push_back(QString::fromLatin1(c.code));
    EXPECT_EQ(sorted(clicks), sorted(oneShotCodes));
    EXPECT_EQ(sorted(holds), sorted(holdCodes));

    const auto find = [&](const char* code) {
        return *std::find_if(rows.begin(), rows.end(),
                             [&](const CommandListing& r) { return r.code == code; });
    };
    EXPECT_EQ(find("CR0").caption, QStringLiteral("STATUS"));
    EXPECT_EQ(find("CR0").group, QString());
    EXPECT_EQ(find("C00").group, QStringLiteral("POWER"));
    EXPECT_EQ(find("CF INPUT COMPUTER2 ANALOG").group, QStringLiteral("PC2"));
    EXPECT_EQ(find("C09").group, QStringLiteral("VOL"));
    EXPECT_EQ(find("C09").repeatMs, 250);
    EXPECT_EQ(find("C20").repeatMs, 50);
    EXPECT_EQ(find("C3F").repeatMs, 500);
    // An arrow repeats at Timer1's interval as start-up leaves it.
    EXPECT_EQ(find("C3C").caption, QStringLiteral("↑"));
    EXPECT_EQ(find("C3C").repeatMs, 200);
}

QStringList listed(bool json) {
    QString text;
    QTextStream out(&text);
    listCommands(out, json);
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(CommandListTest, PrintsOneLineAButtonAsTextOrJson) {
    const QStringList text = listed(false);
    ASSERT_EQ(text.size(), expected::kButtonCount);
    EXPECT_TRUE(text.contains(QStringLiteral("\tSTATUS\tCR0\tclick")));
    EXPECT_TRUE(text.contains(QStringLiteral("POWER\tON\tC00\tclick")));
    EXPECT_TRUE(text.contains(QStringLiteral("VOL\t+\tC09\thold 250")));
    for (const QString& line : text)
        EXPECT_EQ(line.count(QLatin1Char('\t')), 3) << line.toStdString();

    const QStringList json = listed(true);
    ASSERT_EQ(json.size(), expected::kButtonCount);
    for (const QString& line : json) {
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        EXPECT_TRUE(object["group"].isString() && object["caption"].isString() &&
                    object["code"].isString());
        const bool hold = object["kind"] == QJsonValue("hold");
        EXPECT_TRUE(hold || object["kind"] == QJsonValue("click"));
        EXPECT_EQ(object["repeat_ms"].isDouble(), hold);
        EXPECT_EQ(object["repeat_ms"].isNull(), !hold);
    }
}

}  // namespace
}  // namespace panel
