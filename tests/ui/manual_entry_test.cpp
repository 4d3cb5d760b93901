// Manual entry: "SEND" sends Text1 exactly as typed (one byte a character), "CLS" only empties it,
// and Enter in Text1 sends nothing.
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "tests/ui/form_fixture.h"

namespace panel::test {
namespace {

using namespace std::chrono_literals;

class ManualEntryFixture : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        openFullPanel();
        text1 = control<QLineEdit>(QStringLiteral("Text1"));
    }
    void send() { click(control(QStringLiteral("Command95"))); }
    QLineEdit* text1 = nullptr;
};

struct Typed {
    const char* name;
    QString text;
    std::string frame;
    bool typeIt;  // typed key by key; otherwise pasted in whole
};
void PrintTo(const Typed& t, std::ostream* out) {
    *out << t.name;
}

class SendTest : public ManualEntryFixture, public ::testing::WithParamInterface<Typed> {};

TEST_P(SendTest, SendWritesTheTextAsTypedFollowedByCr) {
    const Typed& typed = GetParam();
    if (typed.typeIt)
        QTest::keyClicks(text1, typed.text);
    else
        text1->setText(typed.text);
    ASSERT_EQ(text1->text(), typed.text);
    send();
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes().front(), typed.frame);
    EXPECT_EQ(form->controller().state().ManualCmd, typed.frame.substr(0, typed.frame.size() - 1));
    EXPECT_EQ(form->controller().timers().replyWindow.interval(), 2000ms);
    EXPECT_EQ(form->controller().timers().clearing.interval(), 2500ms);
    EXPECT_EQ(text1->text(), typed.text);  // kept after the send
    EXPECT_FALSE(control<QLabel>(QStringLiteral("Label11"))->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SendTest,
    ::testing::Values(
        Typed{"Empty", QString(), "\r", false},
        Typed{"Status", QStringLiteral("CR0"), "CR0\r", true},
        Typed{"LowerCaseIsNotChanged", QStringLiteral("cr0"), "cr0\r", true},
        Typed{"TrailingBlankIsKept", QStringLiteral("CR0 "), "CR0 \r", true},
        Typed{"BlanksInsideAndAroundAreKept", QStringLiteral(" CR PRESSURE "), " CR PRESSURE \r",
              true},
        Typed{"Latin1IsOneByteACharacter", QString::fromUtf8("é\u00ff"), "\xE9\xFF\r", false},
        Typed{"BeyondLatin1BecomesQuestionMarks", QString::fromUtf8("C日本"), "C??\r", false},
        Typed{"OutsideTheBmpIsOneCharacterAndOneByte", QString::fromUtf8("C😀日"), "C??\r", false},
        Typed{"PasteBeyond32767CharactersIsNotCut", QString(40000, QLatin1Char('A')),
              std::string(40000, 'A') + "\r", false}),
    [](const auto& info) { return std::string(info.param.name); });

class ManualEntryTest : public ManualEntryFixture {};

TEST_F(ManualEntryTest, SendTwiceSendsTheSameTextTwice) {
    QTest::keyClicks(text1, QStringLiteral("C00"));
    send();
    send();
    EXPECT_EQ(port.written(), "C00\rC00\r");
}

TEST_F(ManualEntryTest, EnterInTheTextBoxOrOnSendSendsNothing) {
    text1->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(text1, QStringLiteral("C00"));
    key(Qt::Key_Return, {});
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(port.writes().empty());
    control(QStringLiteral("Command95"))->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Return, {});
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(text1->text(), QStringLiteral("C00"));
}

TEST_F(ManualEntryTest, ClsEmptiesTheTextAndNothingElse) {
    QTest::keyClicks(text1, QStringLiteral("CR0"));
    send();
    const QString label11 = control<QLabel>(QStringLiteral("Label11"))->text();
    text1->setText(QStringLiteral("abc"));
    click(control(QStringLiteral("Command96")));
    EXPECT_TRUE(text1->text().isEmpty());
    EXPECT_EQ(form->controller().state().ManualCmd, "CR0");
    EXPECT_EQ(form->controller().state().SendData, "CR0\r");
    EXPECT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(control<QLabel>(QStringLiteral("Label11"))->text(), label11);
}

}  // namespace
}  // namespace panel::test
