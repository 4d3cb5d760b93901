#include "ui/trace_label.h"

#include <QPainter>
#include <algorithm>

namespace panel {

TraceLabel::TraceLabel(QWidget* parent) : QLabel(parent) {
    // Received bytes are never markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setContentsMargins(1, 1, 1, 1);  // inside the single-line border
}

void TraceLabel::setCaption(const std::string& caption) {
    const auto visible = static_cast<qsizetype>(std::min(caption.size(), kVisibleCharacters));
    const QString text = QString::fromLatin1(caption.data(), visible);
    if (text != this->text()) setText(text);
}

void TraceLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The border is black whatever the text colour.
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    // QLabel would let a long line run over the border; drawText clips it at the inside instead.
    const QRect inside = contentsRect().adjusted(1, 0, -1, 0);
    painter.setPen(palette().color(foregroundRole()));
    painter.setFont(font());
    painter.drawText(inside, int(alignment()) | Qt::TextSingleLine, text());
}

}  // namespace panel
