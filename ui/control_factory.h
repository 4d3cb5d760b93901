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
    // Windows button would (between words, or between any two Japanese characters). The caption
    // itself stays the button's "caption" property and, unless `accessibleName` is given, its
    // accessible name.
    static void setButtonCaption(QAbstractButton* button, const QString& caption,
                                 const QString& accessibleName = {});
    static QString wrapCaption(const QString& caption, const QFont& font, int width);
};

}  // namespace panel
