// Every control of the window against the layout as the panel's description gives it: written out
// here on its own, not read back from ui/layout.cpp, so a slip in either shows.
#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "tests/support/expected_layout.h"
#include "tests/ui/form_fixture.h"
#include "ui/layout.h"
#include "ui/trace_label.h"

namespace panel::test {
namespace {

using namespace expected;

int px(int twips) {
    return static_cast<int>(std::floor(twips / 15.0 + 0.5));
}

QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QRgb pixelOf(QWidget* widget, QPoint at) {
    return widget->grab().toImage().pixel(at) & 0xFFFFFF;
}

// Where the widget's own background shows whatever its caption: clear of edges, text and children.
QPoint backgroundPoint(Kind kind, QSize size) {
    switch (kind) {
        case Kind::Frame:
            return {2, size.height() - 3};
        case Kind::Button:
        case Kind::Hold:
            return {3, 3};
        case Kind::Trace:
            return {2, 2};
        case Kind::Option:
            return {size.width() - 1, 0};
        case Kind::Label:
            return {0, size.height() - 1};
        case Kind::Text:
            return {size.width() / 2, size.height() / 2};
        case Kind::Picture:
            return {0, 0};
    }
    return {};
}

const char* kindName(Kind kind) {
    static const char* const names[] = {"frame", "label",  "trace", "button",
                                        "hold",  "option", "text",  "picture"};
    return names[static_cast<int>(kind)];
}

bool hasKind(QWidget* widget, Kind kind) {
    const QString cls = QString::fromLatin1(widget->metaObject()->className());
    switch (kind) {
        case Kind::Frame:
            return cls == "QFrame";
        case Kind::Label:
            return cls == "QLabel";
        case Kind::Trace:
            return qobject_cast<TraceLabel*>(widget) != nullptr;
        case Kind::Button:
            return cls == "QPushButton" && widget->focusPolicy() != Qt::NoFocus;
        case Kind::Hold:
            return cls == "QPushButton" && widget->focusPolicy() == Qt::NoFocus;
        case Kind::Option:
            return cls == "QRadioButton";
        case Kind::Text:
            return cls == "QLineEdit";
        case Kind::Picture:
            return cls == "QLabel" && !static_cast<QLabel*>(widget)->pixmap().isNull();
    }
    return false;
}

QString captionOf(QWidget* widget, Kind kind) {
    switch (kind) {
        case Kind::Button:
        case Kind::Hold:
            // Shown broken into lines where it is wider than the face; the caption is whole.
            return widget->property("caption").toString();
        case Kind::Option:
            return static_cast<QRadioButton*>(widget)->text();
        case Kind::Label:
        case Kind::Trace:
            return static_cast<QLabel*>(widget)->text();
        case Kind::Text:
            return static_cast<QLineEdit*>(widget)->text();
        default:
            return {};
    }
}

class LayoutTest : public FormTest {};

TEST_F(LayoutTest, EveryControlMatchesTheDescribedLayout) {
    const std::vector<Expected> rows = ExpectedLayout();
    // Taken before anything changes the window.
    std::map<std::string, bool> hiddenAtStart;
    std::map<std::string, QString> captionAtStart;
    for (const Expected& row : rows) {
        QWidget* widget = control(q(row.name));
        hiddenAtStart[row.name] = widget->isHidden();
        captionAtStart[row.name] = captionOf(widget, row.kind);
    }
    openFullPanel();

    for (const Expected& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* widget = control(q(row.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(hasKind(widget, row.kind)) << "expected a " << kindName(row.kind) << ", is a "
                                               << widget->metaObject()->className();
        const QString parent =
            widget->parentWidget() == form.get() ? QString() : widget->parentWidget()->objectName();
        EXPECT_EQ(parent, q(row.parent));
        EXPECT_EQ(widget->geometry(),
                  QRect(px(row.left), px(row.top), px(row.width), px(row.height)));
        EXPECT_EQ(captionAtStart[row.name], q(row.caption));
        EXPECT_EQ(hiddenAtStart[row.name], !row.shown);

        if (row.background != kStd) {
            const QRgb sample = pixelOf(widget, backgroundPoint(row.kind, widget->size()));
            EXPECT_EQ(sample, QRgb(row.background)) << "background";
        }
        if (row.text != kStd && (row.kind == Kind::Label || row.kind == Kind::Trace)) {
            const QRgb text = widget->palette().color(widget->foregroundRole()).rgb() & 0xFFFFFF;
            EXPECT_EQ(text, QRgb(row.text)) << "text colour";
        }
        if (row.face != '-') {
            const QFont font = widget->font();
            const QFontMetrics metrics(font);
            const bool equalAdvances =
                metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance('W') &&
                metrics.horizontalAdvance(QLatin1Char('.')) == metrics.horizontalAdvance('M');
            EXPECT_EQ(font.family(), row.face == 'F' ? q("ＭＳ ゴシック") : q("ＭＳ Ｐゴシック"));
            EXPECT_EQ(equalAdvances, row.face == 'F') << "fixed pitch";
            // Points at the layout's 96 dots per inch.
            EXPECT_EQ(font.pixelSize(), static_cast<int>(std::lround(row.points * 96 / 72)));
            EXPECT_EQ(font.weight(), row.bold ? QFont::Bold : QFont::Normal);
        }
    }
}

TEST_F(LayoutTest, TheWindowHoldsNoControlBeyondTheLayout) {
    static const QRegularExpression controlName(
        QStringLiteral("^(Frame|Label|Command|Option|Text|Image)\\d+$"));
    std::set<QString> named;
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        if (controlName.match(widget->objectName()).hasMatch()) named.insert(widget->objectName());
    }
    std::set<QString> expected;
    for (const Expected& row : ExpectedLayout()) expected.insert(q(row.name));
    EXPECT_EQ(named, expected);
    EXPECT_EQ(expected.size(), ExpectedLayout().size()) << "a name twice in the expected layout";
}

TEST_F(LayoutTest, ButtonsOtherThanComHaveFlatColouredFacesAndComTheStandardOne) {
    auto* com = control<QPushButton>(QStringLiteral("Command33"));
    EXPECT_TRUE(com->styleSheet().isEmpty());
    EXPECT_EQ(com->palette().color(QPalette::Button),
              QApplication::palette().color(QPalette::Button));
    for (const Expected& row : ExpectedLayout()) {
        if ((row.kind != Kind::Button && row.kind != Kind::Hold) || row.background == kStd)
            continue;
        auto* button = control<QPushButton>(q(row.name));
        EXPECT_FALSE(button->styleSheet().isEmpty()) << row.name;
        EXPECT_FALSE(button->isFlat()) << row.name;  // a raised edge around the coloured face
    }
}

TEST_F(LayoutTest, TextBoxKeepsThePlatformColours) {
    auto* text = control<QLineEdit>(QStringLiteral("Text1"));
    const QPalette standard = QApplication::palette(text);
    EXPECT_EQ(text->palette().color(QPalette::Base), standard.color(QPalette::Base));
    EXPECT_EQ(text->palette().color(QPalette::Text), standard.color(QPalette::Text));
}

TEST_F(LayoutTest, TrafficLabelsAreBoxedInBlackAndTitlesAreCentredAndBold) {
    for (const char* name : {"Label11", "Label12", "Label22"}) {
        auto* label = control<QLabel>(q(name));
        const QImage image = label->grab().toImage();
        EXPECT_EQ(image.pixel(0, label->height() / 2) & 0xFFFFFF, 0u) << name;
        EXPECT_EQ(image.pixel(label->width() - 1, label->height() / 2) & 0xFFFFFF, 0u) << name;
    }
    for (const char* name : {"Label1", "Label2", "Label7", "Label4", "Label5", "Label8", "Label6",
                             "Label3", "Label14"}) {
        auto* label = control<QLabel>(q(name));
        EXPECT_TRUE(label->alignment() & Qt::AlignHCenter) << name;
        EXPECT_TRUE(label->font().bold()) << name;
    }
    for (const char* name : {"Label9", "Label10"})
        EXPECT_TRUE(control<QLabel>(q(name))->alignment() & Qt::AlignRight) << name;
}

TEST_F(LayoutTest, JapaneseCaptionRendersInAFaceWithItsGlyphs) {
    auto* command34 = control<QPushButton>(QStringLiteral("Command34"));
    const QFontMetrics metrics(command34->font());
    for (QChar c : q("データを表示しない"))
        EXPECT_TRUE(metrics.inFont(c)) << QString(c).toStdString();
}

// Where the style lays out a button's text: inside the edge and the padding.
QRect contentsOf(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    return button->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents, &option, button);
}

// The ink of a button's caption drawn as its style draws it into `contents`, but without the
// clipping to that rectangle that hides a cut-off line, on a canvas with room all round.
QRect captionInk(QAbstractButton* button, const QRect& contents) {
    constexpr int kRoom = 40;
    QImage canvas(button->size() + QSize(2 * kRoom, 2 * kRoom), QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setFont(button->font());
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    const int align = (radio ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter) |
                      Qt::TextShowMnemonic | Qt::TextDontClip;
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, Qt::black);
    button->style()->drawItemText(&painter, contents.translated(kRoom, kRoom), align, palette, true,
                                  button->text(), QPalette::ButtonText);
    painter.end();
    QRect ink;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (canvas.pixel(x, y) != QColor(Qt::white).rgb()) ink |= QRect(x, y, 1, 1);
        }
    }
    return ink.translated(-kRoom, -kRoom);
}

void expectCaptionInside(QAbstractButton* button) {
    const QVariant property = button->property("caption");
    const QString caption = property.isValid() ? property.toString() : button->text();
    SCOPED_TRACE(button->objectName().toStdString() + " \"" + caption.toStdString() + "\"");
    const QRect contents = contentsOf(button);
    const QRect ink = captionInk(button, contents);
    EXPECT_FALSE(ink.isEmpty()) << "nothing drawn";
    EXPECT_TRUE(contents.contains(ink))
        << "ink " << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height()
        << " outside the contents " << contents.x() << "," << contents.y() << " "
        << contents.width() << "x" << contents.height();
}

TEST_F(LayoutTest, EveryButtonCaptionLiesInsideItsFaceAndCommand34sInEachState) {
    form->keyChord();  // Command34 shown, "CLOSE"
    for (const ControlSpec& row : Controls()) {
        if (row.kind != ControlKind::Button && row.kind != ControlKind::HoldButton &&
            row.kind != ControlKind::Option)
            continue;
        expectCaptionInside(control<QAbstractButton>(
            QString::fromUtf8(row.name.data(), static_cast<qsizetype>(row.name.size()))));
    }
    auto* command34 = control<QPushButton>(QStringLiteral("Command34"));
    form->command34Clicked();  // tall: shrinks, "データを表示する"
    ASSERT_EQ(command34->property("caption").toString(), q("データを表示する"));
    expectCaptionInside(command34);
    form->command34Clicked();  // short: enlarges, "データを表示しない"
    ASSERT_EQ(command34->property("caption").toString(), q("データを表示しない"));
    expectCaptionInside(command34);
}

TEST_F(LayoutTest, PortSelectorIsStackedAboveComAndCoversIt) {
    auto* com = control(QStringLiteral("Command33"));
    auto* frame8 = control(QStringLiteral("Frame8"));
    click(com);
    ASSERT_TRUE(frame8->isVisible());
    EXPECT_TRUE(frame8->geometry().contains(com->geometry()));
    const QWidget* top = form->childAt(com->geometry().center());
    EXPECT_TRUE(top == frame8 || frame8->isAncestorOf(top));
}

struct ExpectedLine {
    const char* name;
    int x1, y1, x2, y2;  // twips
};

constexpr ExpectedLine kExpectedLines[] = {
    {"Line7", 1080, 2400, 2160, 2400},  {"Line1", 1080, 2400, 1080, 2880},
    {"Line8", 120, 2880, 1080, 2880},   {"Line2", 2160, 2400, 2160, 2880},
    {"Line9", 2160, 2880, 3120, 2880},  {"Line6", 120, 2880, 120, 3480},
    {"Line10", 120, 3480, 1080, 3480},  {"Line3", 3120, 2880, 3120, 3480},
    {"Line12", 2160, 3480, 3120, 3480}, {"Line5", 1080, 3480, 1080, 3960},
    {"Line11", 1080, 3960, 2160, 3960}, {"Line4", 2160, 3480, 2160, 3960},
};

class LinesTest : public FormTest {};

TEST_F(LinesTest, EachLineIsPaintedLightBlueTwoPixelsWideBeneathTheButtons) {
    ASSERT_EQ(Lines().size(), std::size(kExpectedLines));
    const QImage image = form->grab().toImage();
    const QRgb blue = 0x8080FF;
    auto at = [&image](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
    for (const ExpectedLine& line : kExpectedLines) {
        SCOPED_TRACE(line.name);
        const int x1 = px(line.x1), y1 = px(line.y1), x2 = px(line.x2), y2 = px(line.y2);
        const bool horizontal = y1 == y2;
        // At a quarter, half and three quarters of its length; a 2-pixel pen on the boundary
        // between two pixel rows (or columns) fills both and nothing beside them.
        for (int quarter : {1, 2, 3}) {
            const int x = x1 + (x2 - x1) * quarter / 4;
            const int y = y1 + (y2 - y1) * quarter / 4;
            if (horizontal) {
                EXPECT_EQ(at(x, y - 1), blue);
                EXPECT_EQ(at(x, y), blue);
                EXPECT_NE(at(x, y - 2), blue);
                EXPECT_NE(at(x, y + 1), blue);
            } else {
                EXPECT_EQ(at(x - 1, y), blue);
                EXPECT_EQ(at(x, y), blue);
                EXPECT_NE(at(x - 2, y), blue);
                EXPECT_NE(at(x + 1, y), blue);
            }
        }
    }
}

}  // namespace
}  // namespace panel::test
