// Makes the widget of one layout row: kind, place in pixels, caption, colours and font.
#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QWidget>

#include "ui/layout.h"

namespace panel {

class ControlFactory {
public:
    // Lets the Windows face names resolve to faces with Japanese glyphs where they are missing.
    static void installFontSubstitutes();

    // A face at a size in points at the layout's 96 dots per inch, as pixels, because every
    // control has a fixed size in pixels: 8.25, 9 and 9.75 points are 11, 12 and 13 pixels.
    static QFont font(FontFace face, double points, bool bold);

    // The widget for the layout row `row`, placed in `container`, its objectName the control's
    // name.
    static QWidget* create(const ControlSpec& row, QWidget* container);

    static QRect pixelGeometry(const ControlSpec& row);

    // Shows `caption` on `button`, broken into lines where it is wider than the face, as a
    // Windows button would (between words, or between any two Japanese characters), in a smaller
    // size of the same face when the lines would not fit the face's height. The caption
    // itself stays the button's "caption" property and, unless `accessibleName` is given, its
    // accessible name.
    static void setButtonCaption(QAbstractButton* button, const QString& caption,
                                 const QString& accessibleName = {});
    static QString wrapCaption(const QString& caption, const QFont& font, int width);
    // The font `caption` is drawn in within `room` (pixels): `layoutFont`, or for a caption that
    // wraps into more lines than fit, the same face a pixel size smaller until they do. `lines`
    // gets the caption broken as at the layout's size.
    static QFont fitCaption(const QString& caption, const QFont& layoutFont, QSize room,
                            QString& lines);
    // A fitted caption stays readable down to this size.
    static constexpr int kSmallestCaptionPixels = 8;
};

}  // namespace panel
