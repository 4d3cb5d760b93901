// A traffic label: one line of plain text clipped at its right edge, of a size its text never
// changes.
#pragma once

#include <QLabel>
#include <string>

namespace panel {

class TraceLabel final : public QLabel {
    Q_OBJECT

public:
    // Only this many leading characters of a caption can ever be seen: the widest traffic label is
    // 374 pixels and no character of a trace is narrower than one pixel.
    static constexpr std::size_t kVisibleCharacters = 400;

    explicit TraceLabel(QWidget* parent = nullptr);

    // `caption` is 8-bit text, one character a byte (Latin-1). Only its visible beginning is kept,
    // so a trace of tens of thousands of characters costs no more than a short one.
    void setCaption(const std::string& caption);

    QSize sizeHint() const override { return size(); }
    QSize minimumSizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace panel
