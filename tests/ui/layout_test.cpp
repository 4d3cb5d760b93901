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
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "tests/ui/form_fixture.h"
#include "ui/layout.h"
#include "ui/trace_label.h"

namespace panel::test {
namespace {

enum class Kind { Frame, Label, Trace, Button, Hold, Option, Text, Picture };
constexpr int kStd = -1;  // the platform's own colour

struct Expected {
    const char* name;
    Kind kind;
    const char* parent;  // "" for the window
    const char* caption;
    int left, top, width, height;  // twips
    int background;
    int text;
    char face;  // 'F' fixed, 'P' proportional, '-' none
    double points;
    bool bold;
    bool shown;  // at start, by itself (a hidden container aside)
};

int px(int twips) {
    return static_cast<int>(std::floor(twips / 15.0 + 0.5));
}

Expected frame(const char* name, const char* parent, int l, int t, int w, int h,
               bool shown = true) {
    return {name, Kind::Frame, parent, "", l, t, w, h, 0xC0C0C0, kStd, '-', 0, false, shown};
}
Expected title(const char* name, const char* parent, const char* caption, int l, int t, int w,
               int h, int text = 0x000000) {
    return {name, Kind::Label, parent, caption, l, t, w, h, 0xC0C0C0, text, 'F', 9, true, true};
}
Expected label(const char* name, const char* parent, const char* caption, int l, int t, int w,
               int h, char face, double points, bool bold) {
    return {name, Kind::Label, parent,   caption, l,      t,    w,
            h,    0xC0C0C0,    0x000000, face,    points, bold, true};
}
Expected button(const char* name, const char* parent, const char* caption, int l, int t, int w,
                int h, int background, char face, double points, bool bold, bool shown = true) {
    return {name, Kind::Button, parent,   caption, l,      t,    w,
            h,    background,   0x000000, face,    points, bold, shown};
}
Expected hold(const char* name, const char* caption, int l, int t, int w, int h, int background,
              char face, bool bold) {
    return {name, Kind::Hold, "", caption, l, t, w, h, background, 0x000000, face, 9, bold, true};
}
Expected option(const char* name, const char* parent, const char* caption, int l, int t, int w,
                int h) {
    return {name, Kind::Option, parent,   caption, l, t,    w,
            h,    0xC0C0C0,     0x000000, 'F',     9, true, true};
}
Expected trace(const char* name, int l, int t, int w, int h, int text, double points) {
    return {name, Kind::Trace, "Frame9", "", l, t, w, h, 0xFFFFFF, text, 'P', points, true, true};
}

std::vector<Expected> expectedLayout() {
    const int green = 0xC0FFC0, pink = 0xFFC0C0, cyan = 0xC0FFFF, lavender = 0xC0C0FF,
              peach = 0xFFE0C0, lightOrange = 0xFFC080;
    std::vector<Expected> rows = {
        // The top row.
        frame("Frame1", "", 120, 240, 1695, 975),
        title("Label1", "Frame1", "POWER", 240, 240, 1095, 255, 0xC00000),
        button("Command17", "Frame1", "ON", 120, 600, 615, 300, green, 'P', 9, true),
        button("Command18", "Frame1", "OFF", 960, 600, 615, 300, pink, 'P', 9, true),
        frame("Frame2", "", 2040, 240, 3975, 975),
        title("Label2", "Frame2", "INPUT MODE SET", 1080, 240, 1935, 255),
        button("Command27", "Frame2", "PC1", 120, 600, 495, 300, cyan, 'P', 9, true),
        button("Command28", "Frame2", "PC2", 720, 600, 495, 300, cyan, 'P', 9, true),
        button("Command29", "Frame2", "Video", 1320, 600, 735, 300, cyan, 'P', 9, true),
        button("Command56", "Frame2", "HDMI", 2160, 600, 735, 300, cyan, 'F', 9, true),
        button("Command57", "Frame2", "Network", 3000, 600, 855, 300, cyan, 'F', 9, true),
        frame("Frame6", "", 6240, 240, 1695, 975),
        title("Label7", "Frame6", "MENU", 360, 240, 975, 255),
        button("Command23", "Frame6", "ON", 120, 600, 615, 300, green, 'P', 9, true),
        button("Command24", "Frame6", "OFF", 960, 600, 615, 300, pink, 'P', 9, true),
        {"Image1", Kind::Picture, "", "", 8160, 120, 1200, 390, 0xB4B4B4, kStd, '-', 0, false,
         true},
        // The second row.
        frame("Frame3", "", 120, 1440, 1695, 855),
        title("Label4", "Frame3", "SOUND MUTE", 120, 195, 1455, 300),
        button("Command19", "Frame3", "ON", 120, 480, 615, 300, green, 'P', 9, true),
        button("Command20", "Frame3", "OFF", 960, 480, 615, 300, pink, 'P', 9, true),
        frame("Frame4", "", 2520, 1440, 1695, 855),
        title("Label5", "Frame4", "NO SHOW", 360, 210, 1095, 285),
        button("Command21", "Frame4", "ON", 120, 480, 615, 300, green, 'P', 9, true),
        button("Command22", "Frame4", "OFF", 960, 480, 615, 300, pink, 'P', 9, true),
        frame("Frame7", "", 5040, 1440, 1695, 855),
        title("Label8", "Frame7", "FREEZE", 240, 210, 1215, 285),
        button("Command25", "Frame7", "ON", 120, 480, 615, 300, green, 'P', 9, true),
        button("Command26", "Frame7", "OFF", 960, 480, 615, 300, pink, 'P', 9, true),
        frame("Frame5", "", 7440, 1440, 1815, 855),
        title("Label6", "Frame5", "Screen Size", 120, 210, 1575, 285),
        button("Command31", "Frame5", "Normal", 120, 480, 855, 300, cyan, 'P', 9, false),
        button("Command32", "Frame5", "Full", 1080, 480, 615, 300, cyan, 'P', 9, false),
        // The cursor cross: 855 x 375.
        hold("Command5", "↑", 1200, 2520, 855, 375, peach, 'P', true),
        hold("Command9", "←", 240, 3000, 855, 375, peach, 'P', true),
        hold("Command6", "SELECT", 1200, 3000, 855, 375, 0xFF8000, 'F', false),
        hold("Command8", "→", 2160, 3000, 855, 375, peach, 'P', true),
        hold("Command7", "↓", 1200, 3480, 855, 375, peach, 'P', true),
        // The adjustment columns: titles at 2520, "+" at 2880, "-" at 3240, buttons 375 x 255.
        title("Label3", "", "VOL", 3600, 2520, 495, 255),
        hold("Command1", "+", 3600, 2880, 375, 255, lightOrange, 'F', true),
        hold("Command2", "-", 3600, 3240, 375, 255, lightOrange, 'F', true),
        label("Label13", "", "Brightness", 4560, 2520, 975, 255, 'F', 9, false),
        hold("Command15", "+", 4800, 2880, 375, 255, cyan, 'F', false),
        hold("Command35", "-", 4800, 3240, 375, 255, cyan, 'F', false),
        label("Label17", "", "D.Zoom", 6360, 2520, 735, 255, 'F', 9, false),
        hold("Command48", "+", 6480, 2880, 375, 255, cyan, 'P', false),
        hold("Command49", "-", 6480, 3240, 375, 255, cyan, 'F', false),
        label("Label18", "", "Keystone", 7320, 2520, 855, 255, 'F', 9, false),
        hold("Command50", "+", 7440, 2880, 375, 255, cyan, 'F', false),
        hold("Command51", "-", 7440, 3240, 375, 255, cyan, 'F', false),
        // The right-hand column at 8400, 975 wide.
        button("Command13", "", "A-IMAGE", 8400, 2760, 975, 250, 0x00C0C0, 'F', 9, false),
        button("Command30", "", "IMAGE", 8400, 3120, 975, 255, lavender, 'F', 9, false),
        button("Command14", "", "P-TIMER", 8400, 3360, 975, 250, lavender, 'F', 9, false),
        button("Command3", "", "DISPLAY CLEAR", 8400, 3600, 975, 492, lavender, 'F', 9, false),
        button("Command16", "", "END", 8400, 4320, 975, 375, 0xC0C0C0, 'F', 9, true),
        // The picture-mode grid, 975 x 255.
        button("Command4", "", "STAND", 240, 4080, 975, 255, cyan, 'F', 9, false),
        button("Command10", "", "REAL", 1200, 4080, 975, 255, cyan, 'F', 9, false),
        button("Command11", "", "CINEMA", 2160, 4080, 975, 255, cyan, 'F', 9, false),
        button("Command39", "", "IMAGE1", 240, 4320, 975, 255, cyan, 'F', 9, false),
        button("Command40", "", "IMAGE2", 1200, 4320, 975, 255, cyan, 'F', 9, false),
        button("Command41", "", "IMAGE3", 2160, 4320, 975, 255, cyan, 'F', 9, false),
        button("Command42", "", "IMAGE4", 240, 4560, 975, 255, cyan, 'F', 9, false),
        button("Command12", "", "B.Board", 1200, 4560, 975, 255, cyan, 'F', 9, false),
        button("Command37", "", "Dynamic", 2160, 4560, 975, 255, cyan, 'F', 9, false),
        // Fan mode, "COM" and the port selector.
        frame("Frame10", "", 6480, 3720, 1695, 975),
        title("Label14", "Frame10", "FAN MODE", 240, 240, 1335, 255),
        button("Command38", "Frame10", "L1", 120, 600, 735, 300, green, 'F', 9, false),
        button("Command43", "Frame10", "L2", 960, 600, 615, 300, pink, 'F', 9, false),
        button("Command33", "", "COM", 4080, 4200, 1815, 375, kStd, 'P', 9, false),
        frame("Frame8", "", 3480, 3600, 2775, 1185, false),
        option("Option1", "Frame8", "COM1", 240, 240, 1215, 255),
        option("Option2", "Frame8", "COM2", 1560, 240, 1095, 255),
        frame("Frame13", "Frame8", 120, 480, 2535, 615),
        option("Option9", "Frame13", "19200", 120, 240, 1095, 255),
        option("Option10", "Frame13", "9600", 1440, 240, 975, 300),
        // The trace area.
        frame("Frame9", "", 45, 4920, 6312, 1290),
        label("Label9", "Frame9", "TXD", 105, 210, 390, 285, 'F', 9, false),
        trace("Label11", 600, 180, 5610, 300, 0x000000, 9.75),
        label("Label10", "Frame9", "RXD", 75, 555, 450, 300, 'F', 9, false),
        trace("Label12", 600, 540, 5616, 300, 0x000000, 9.75),
        label("Label23", "Frame9", "STATUS", 120, 960, 735, 225, 'F', 8.25, false),
        trace("Label22", 930, 915, 5295, 300, 0xFF0000, 9),
        button("Command34", "", "データを表示する", 6600, 5040, 1200, 375, 0xC0C0C0, 'P', 9, false,
               false),
        button("Command44", "", "STATUS", 6480, 5640, 975, 255, cyan, 'F', 8.25, true),
        button("Command46", "", "L-TIME", 7440, 5640, 975, 255, cyan, 'F', 8.25, true),
        button("Command54", "", "TEMP", 8400, 5640, 975, 252, cyan, 'F', 8.25, true),
        button("Command45", "", "MODE", 6480, 5880, 975, 255, cyan, 'F', 8.25, true),
        button("Command47", "", "SETTING", 7440, 5880, 975, 255, cyan, 'F', 8.25, true),
        button("Command55", "", "L-MODE", 8400, 5880, 975, 255, cyan, 'F', 9, true),
        // The service area.
        frame("Frame14", "", 120, 6735, 5415, 1200),
        label("Label15", "Frame14", "PC1", 120, 240, 735, 255, 'F', 9, true),
        button("Command64", "Frame14", "RGB", 960, 240, 975, 255, cyan, 'F', 9, false),
        button("Command52", "Frame14", "Scart", 1920, 240, 1095, 255, cyan, 'F', 9, false),
        button("Command53", "Frame14", "Component", 3000, 240, 1215, 255, cyan, 'F', 9, false),
        button("Command58", "Frame14", "HDMI", 4200, 240, 975, 255, cyan, 'F', 9, false),
        label("Label16", "Frame14", "PC2", 120, 480, 735, 255, 'F', 9, true),
        button("Command72", "Frame14", "RGB", 960, 480, 975, 255, cyan, 'F', 9, false),
        label("Label24", "Frame14", "Video", 120, 720, 855, 255, 'F', 9, true),
        button("Command82", "Frame14", "Video", 960, 720, 975, 255, cyan, 'F', 9, false),
        button("Command69", "Frame14", "S-Video", 1920, 720, 1095, 255, cyan, 'F', 9, false),
        button("Command36", "", "C02", 5760, 6840, 615, 255, pink, 'F', 9, true),
        frame("Frame15", "", 120, 8040, 7215, 570),
        label("Label26", "Frame15", "CMD", 120, 240, 495, 255, 'F', 9.75, false),
        {"Text1", Kind::Text, "Frame15", "", 600, 165, 5055, 345, kStd, kStd, 'F', 9.75, true,
         true},
        button("Command95", "Frame15", "SEND", 5760, 240, 735, 255, green, 'F', 9, true),
        button("Command96", "Frame15", "CLS", 6480, 240, 615, 255, pink, 'F', 9, true),
    };
    return rows;
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
    const std::vector<Expected> rows = expectedLayout();
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
    for (const Expected& row : expectedLayout()) expected.insert(q(row.name));
    EXPECT_EQ(named, expected);
    EXPECT_EQ(expected.size(), 105u);
}

TEST_F(LayoutTest, ButtonsOtherThanComHaveFlatColouredFacesAndComTheStandardOne) {
    auto* com = control<QPushButton>(QStringLiteral("Command33"));
    EXPECT_TRUE(com->styleSheet().isEmpty());
    EXPECT_EQ(com->palette().color(QPalette::Button),
              QApplication::palette().color(QPalette::Button));
    for (const Expected& row : expectedLayout()) {
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

TEST(LinesTable, HoldsTheTwelveOutlineLinesOfTheCursorCross) {
    std::map<std::string, std::array<int, 4>> table;
    for (const LineSpec& line : Lines())
        table[std::string(line.name)] = {line.x1, line.y1, line.x2, line.y2};
    ASSERT_EQ(table.size(), 12u);
    for (const ExpectedLine& line : kExpectedLines) {
        const std::array<int, 4> expected{line.x1, line.y1, line.x2, line.y2};
        EXPECT_EQ(table[line.name], expected) << line.name;
    }
}

class LinesTest : public FormTest {};

TEST_F(LinesTest, EachLineIsPaintedLightBlueTwoPixelsWideBeneathTheButtons) {
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
