// Traffic labels: plain Latin-1 text, only the visible beginning of a long trace, clipped inside
// the box, and a size that never follows the text.
#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <algorithm>

#include "tests/ui/form_fixture.h"
#include "ui/trace_label.h"

namespace panel::test {
namespace {

class TraceLabelTest : public FormTest {
protected:
    TraceLabel* label(const char* name) const {
        return control<TraceLabel>(QString::fromLatin1(name));
    }
};

TEST_F(TraceLabelTest, ReceivedMarkupIsShownAsPlainText) {
    port.receive("<b>x</b>");
    TraceLabel* rxd = label("Label12");
    EXPECT_EQ(rxd->textFormat(), Qt::PlainText);
    EXPECT_EQ(rxd->text(), QStringLiteral(" < b > x < / b > "));
}

TEST_F(TraceLabelTest, CaptionBytesAreLatin1) {
    TraceLabel* txd = label("Label11");
    txd->setCaption(std::string("\xE9\xFF\x41", 3));
    EXPECT_EQ(txd->text(), QString::fromUtf8("é\u00ffA"));
}

TEST_F(TraceLabelTest, AHugeCaptionKeepsItsBeginningAndChangesNoSize) {
    openFullPanel();
    const QSize window = form->size();
    TraceLabel* rxd = label("Label12");
    const QSize size = rxd->size();
    std::string huge(50000, 'A');
    huge.replace(0, 5, " 0 1 ");
    rxd->setCaption(huge);
    EXPECT_EQ(rxd->text().size(), qsizetype(TraceLabel::kVisibleCharacters));
    EXPECT_TRUE(rxd->text().startsWith(QStringLiteral(" 0 1 AAA")));
    EXPECT_EQ(rxd->sizeHint(), size);
    EXPECT_EQ(rxd->minimumSizeHint(), size);
    EXPECT_EQ(rxd->size(), size);
    QApplication::processEvents();
    EXPECT_EQ(form->size(), window);
}

TEST_F(TraceLabelTest, KeptBeginningFillsTheWidestLabelEvenInItsNarrowestCharacter) {
    TraceLabel* rxd = label("Label12");
    const QFontMetrics metrics(rxd->font());
    int narrowest = metrics.horizontalAdvance(QLatin1Char(' '));
    for (char c = ' '; c <= 'z'; ++c)
        narrowest = std::min(narrowest, metrics.horizontalAdvance(QLatin1Char(c)));
    const int widestLabel = 5616 / 15;
    EXPECT_GT(narrowest * int(TraceLabel::kVisibleCharacters), widestLabel);
}

TEST_F(TraceLabelTest, ALongTraceIsClippedInsideTheBox) {
    // Red text: a border overdrawn by it would show.
    TraceLabel* status = label("Label22");
    status->setCaption(std::string(2000, 'W'));
    const QImage image = status->grab().toImage();
    const int right = image.width() - 1;
    for (int y = 0; y < image.height(); ++y)
        ASSERT_EQ(image.pixel(right, y) & 0xFFFFFF, 0u) << "border overdrawn at row " << y;
    // The text does run up to the border: the last column inside shows some of it.
    bool inked = false;
    for (int y = 1; y < image.height() - 1; ++y)
        inked = inked || (image.pixel(right - 2, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_TRUE(inked);
}

TEST_F(TraceLabelTest, DecodedReplyIsRed) {
    TraceLabel* status = label("Label22");
    status->setCaption(" HHHH");
    const QImage image = status->grab().toImage();
    bool red = false;
    for (int y = 1; y < image.height() - 1 && !red; ++y)
        for (int x = 1; x < image.width() - 1 && !red; ++x)
            red = (image.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
    EXPECT_TRUE(red);
}

}  // namespace
}  // namespace panel::test
