// What a screen reader gets: buttons named by caption (with the group where captions repeat),
// options by caption, traffic labels by their text and described by what they show.
#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <set>

#include "testkit/fake_port.h"
#include "tests/support/expected_layout.h"
#include "tests/ui/form_fixture.h"

namespace panel::test {
namespace {

QString accessible(QWidget* widget, QAccessible::Text text) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(text) : QStringLiteral("<no interface>");
}

class AccessibilityTest : public FormTest {};

TEST_F(AccessibilityTest, ButtonsAreNamedByCaptionWithTheirGroupWhereCaptionsRepeat) {
    const std::pair<const char*, const char*> names[] = {
        {"Command17", "ON, POWER"},
        {"Command18", "OFF, POWER"},
        {"Command23", "ON, MENU"},
        {"Command24", "OFF, MENU"},
        {"Command19", "ON, SOUND MUTE"},
        {"Command20", "OFF, SOUND MUTE"},
        {"Command21", "ON, NO SHOW"},
        {"Command22", "OFF, NO SHOW"},
        {"Command25", "ON, FREEZE"},
        {"Command26", "OFF, FREEZE"},
        {"Command56", "HDMI, INPUT MODE SET"},
        {"Command58", "HDMI, PC1"},
        {"Command64", "RGB, PC1"},
        {"Command72", "RGB, PC2"},
        {"Command29", "Video, INPUT MODE SET"},
        {"Command82", "Video, Video"},
        {"Command1", "+, VOL"},
        {"Command2", "-, VOL"},
        {"Command15", "+, Brightness"},
        {"Command35", "-, Brightness"},
        {"Command48", "+, D.Zoom"},
        {"Command49", "-, D.Zoom"},
        {"Command50", "+, Keystone"},
        {"Command51", "-, Keystone"},
        // Unique captions stand alone, also where the face shows them on two lines.
        {"Command44", "STATUS"},
        {"Command27", "PC1"},
        {"Command3", "DISPLAY CLEAR"},
        {"Command6", "SELECT"},
        {"Command5", "↑"},
        {"Option1", "COM1"},
        {"Option2", "COM2"},
        {"Option9", "19200"},
        {"Option10", "9600"},
    };
    for (const auto& [name, expected] : names)
        EXPECT_EQ(accessible(control(QString::fromLatin1(name)), QAccessible::Name),
                  QString::fromUtf8(expected))
            << name;
}

TEST_F(AccessibilityTest, EveryButtonHasADistinctName) {
    std::set<QString> seen;
    for (QAbstractButton* button : form->findChildren<QAbstractButton*>()) {
        const QString name = accessible(button, QAccessible::Name);
        EXPECT_TRUE(seen.insert(name).second) << name.toStdString();
    }
    using expected::Kind;
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(expected::CountOf(Kind::Button) +
                                                    expected::CountOf(Kind::Hold) +
                                                    expected::CountOf(Kind::Option)));
}

TEST_F(AccessibilityTest, TrafficLabelsReadTheirTraceAndSayWhatTheyShow) {
    const std::pair<const char*, const char*> labels[] = {
        {"Label11", "TXD"}, {"Label12", "RXD"}, {"Label22", "STATUS"}};
    for (const auto& [name, description] : labels)
        EXPECT_EQ(accessible(control(QString::fromLatin1(name)), QAccessible::Description),
                  QString::fromLatin1(description));
    click(control(QStringLiteral("Command17")));
    EXPECT_EQ(accessible(control(QStringLiteral("Label11")), QAccessible::Name),
              QStringLiteral(" C 0 0 CR "));
}

TEST_F(AccessibilityTest, Command34IsNamedByItsCurrentCaption) {
    ctrlJ();
    EXPECT_EQ(accessible(control(QStringLiteral("Command34")), QAccessible::Name),
              QStringLiteral("CLOSE"));
    form->command34Clicked();
    EXPECT_EQ(accessible(control(QStringLiteral("Command34")), QAccessible::Name),
              QString::fromUtf8("データを表示する"));
}

}  // namespace
}  // namespace panel::test
