#include "ui/control_factory.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextLayout>
#include <array>
#include <cmath>
#include <limits>

#include "ui/trace_label.h"
#include "ui/utf8.h"

namespace panel {
namespace {

QColor rgb(std::uint32_t value) {
    return QColor::fromRgb(static_cast<QRgb>(value));
}

Qt::Alignment horizontal(TextAlign align) {
    switch (align) {
        case TextAlign::Centre:
            return Qt::AlignHCenter;
        case TextAlign::Right:
            return Qt::AlignRight;
        case TextAlign::Left:
            break;
    }
    return Qt::AlignLeft;
}

// Opaque background and text colour through the palette, so children that set nothing inherit the
// window's grey.
void paint(QWidget* widget, const ControlSpec& control) {
    // Buttons fill with the Button role and write with ButtonText, other widgets with Window and
    // WindowText: set both the generic and the widget's own role.
    QPalette palette = widget->palette();
    if (control.background != kStandardColour) {
        palette.setColor(QPalette::Window, rgb(control.background));
        palette.setColor(widget->backgroundRole(), rgb(control.background));
        widget->setAutoFillBackground(true);
    }
    if (control.text != kStandardColour) {
        palette.setColor(QPalette::WindowText, rgb(control.text));
        palette.setColor(widget->foregroundRole(), rgb(control.text));
    }
    widget->setPalette(palette);
}

// A coloured button has a flat face of its colour with a raised edge that sinks while pressed.
QString buttonStyle(const ControlSpec& control) {
    const QString face = rgb(control.background).name();
    const QString text = rgb(control.text).name();
    return QStringLiteral(
               "QPushButton { background-color: %1; color: %2; border: 2px outset %3; padding: 0; }"
               "QPushButton:pressed { border-style: inset; }"
               "QPushButton:focus { border-color: %4; }")
        .arg(face, text, rgb(control.background).lighter(103).name(),
             rgb(control.background).darker(140).name());
}

QWidget* makeFrame(const ControlSpec&, QWidget* container) {
    auto* frame = new QFrame(container);
    // An etched edge shaded from the frame's own grey. Only the shading roles: a text box inside
    // keeps the platform's colours.
    const QPalette shades(rgb(kWindowColour));
    QPalette palette = frame->palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Light, QPalette::Midlight,
                                     QPalette::Mid, QPalette::Dark, QPalette::Shadow})
        palette.setBrush(role, shades.brush(role));
    frame->setPalette(palette);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setLineWidth(1);
    frame->setAutoFillBackground(true);
    return frame;
}

// The room a caption has on a button face: the width less the 2-pixel edges and a little air.
constexpr int kButtonTextInset = 6;
constexpr const char* kLayoutFontProperty = "layoutFont";

// The height the style leaves a button's text: inside its edge and padding.
int textHeight(QAbstractButton* button) {
    button->ensurePolished();
    QStyleOptionButton option;
    option.initFrom(button);
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).height();
}

QWidget* makeButton(const ControlSpec& control, QWidget* container) {
    auto* button = new QPushButton(container);
    // No button of the window acts on Enter.
    button->setAutoDefault(false);
    button->setDefault(false);
    if (control.background != kStandardColour) button->setStyleSheet(buttonStyle(control));
    return button;
}

QWidget* makePicture(const ControlSpec&, QWidget* container) {
    auto* picture = new QLabel(container);
    picture->setPixmap(QPixmap(QStringLiteral(":/logo.png")));
    picture->setScaledContents(false);
    picture->setAccessibleName(QStringLiteral("Logo"));
    return picture;
}

QWidget* makeLabel(const ControlSpec& control, QWidget* container) {
    auto* label = new QLabel(FromUtf8(control.caption), container);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(horizontal(control.align) | Qt::AlignTop);
    return label;
}

QWidget* makeTraceLabel(const ControlSpec& control, QWidget* container) {
    auto* label = new TraceLabel(container);
    label->setAlignment(horizontal(control.align) | Qt::AlignVCenter);
    label->setAccessibleDescription(FromUtf8(control.group));
    return label;
}

QWidget* makeOption(const ControlSpec& control, QWidget* container) {
    auto* option = new QRadioButton(FromUtf8(control.caption), container);
    option->setChecked(control.selected);
    return option;
}

QWidget* makeTextBox(const ControlSpec& control, QWidget* container) {
    auto* text = new QLineEdit(container);
    // The entry sets no length limit: QLineEdit's default of 32767 would cut a long paste without a
    // word.
    text->setMaxLength(std::numeric_limits<int>::max());
    text->setAccessibleName(FromUtf8(control.group));
    return text;
}

// The widget each kind of row makes, before the steps every kind shares.
using Maker = QWidget* (*)(const ControlSpec&, QWidget*);
struct KindMaker {
    ControlKind kind;
    Maker make;
};
constexpr std::array kMakers{
    KindMaker{ControlKind::Frame, makeFrame},
    KindMaker{ControlKind::Label, makeLabel},
    KindMaker{ControlKind::TraceLabel, makeTraceLabel},
    KindMaker{ControlKind::Button, makeButton},
    KindMaker{ControlKind::HoldButton, makeButton},
    KindMaker{ControlKind::Option, makeOption},
    KindMaker{ControlKind::TextBox, makeTextBox},
    KindMaker{ControlKind::Picture, makePicture},
};

QWidget* makeWidget(const ControlSpec& control, QWidget* container) {
    for (const KindMaker& maker : kMakers) {
        if (maker.kind == control.kind) return maker.make(control, container);
    }
    return nullptr;
}

}  // namespace

void ControlFactory::installFontSubstitutes() {
    QFont::insertSubstitutions(FromUtf8(kFixedFace),
                               {QStringLiteral("IPAGothic"), QStringLiteral("MS Gothic"),
                                QStringLiteral("Noto Sans Mono CJK JP")});
    QFont::insertSubstitutions(FromUtf8(kProportionalFace),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("MS PGothic"),
                                QStringLiteral("Noto Sans CJK JP")});
}

QFont ControlFactory::font(FontFace face, double points, bool bold) {
    QFont font(FromUtf8(face == FontFace::Proportional ? kProportionalFace : kFixedFace));
    font.setStyleHint(face == FontFace::Proportional ? QFont::SansSerif : QFont::TypeWriter);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

QRect ControlFactory::pixelGeometry(const ControlSpec& control) {
    return QRect(TwipsToPixels(control.left), TwipsToPixels(control.top),
                 TwipsToPixels(control.width), TwipsToPixels(control.height));
}

QString ControlFactory::wrapCaption(const QString& caption, const QFont& font, int width) {
    QTextLayout layout(caption, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << caption.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

QFont ControlFactory::fitCaption(const QString& caption, const QFont& layoutFont, QSize room,
                                 QString& lines) {
    QFont font = layoutFont;
    const auto height = [&room](const QString& text, const QFont& f) {
        return QFontMetrics(f)
            .boundingRect(QRect(0, 0, room.width(), 0), Qt::AlignHCenter, text)
            .height();
    };
    // The lines break where they do at the layout's size; only the size shrinks.
    lines = wrapCaption(caption, font, room.width());
    while (lines.contains(QLatin1Char('\n')) && height(lines, font) > room.height() &&
           font.pixelSize() > kSmallestCaptionPixels)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

void ControlFactory::setButtonCaption(QAbstractButton* button, const QString& caption,
                                      const QString& accessibleName) {
    button->setProperty("caption", caption);
    // The layout's font, kept so that a caption that fits again (Command34's "CLOSE") gets it back.
    if (!button->property(kLayoutFontProperty).isValid())
        button->setProperty(kLayoutFontProperty, button->font());
    const QFont layoutFont = button->property(kLayoutFontProperty).value<QFont>();
    QString lines;
    const QSize room(button->width() - kButtonTextInset, textHeight(button));
    button->setFont(fitCaption(caption, layoutFont, room, lines));
    button->setText(lines);
    button->setAccessibleName(accessibleName.isEmpty() ? caption : accessibleName);
}

QWidget* ControlFactory::create(const ControlSpec& control, QWidget* container) {
    QWidget* widget = makeWidget(control, container);
    widget->setObjectName(FromUtf8(control.name));
    if (control.kind != ControlKind::Frame) paint(widget, control);
    if (control.face != FontFace::None)
        widget->setFont(font(control.face, control.points, control.bold));
    widget->setGeometry(pixelGeometry(control));
    if (auto* button = qobject_cast<QPushButton*>(widget))
        setButtonCaption(button, FromUtf8(control.caption));
    if (!control.visible) widget->hide();
    return widget;
}

}  // namespace panel
