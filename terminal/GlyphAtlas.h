#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>

namespace kv7 {

// Every byte's code page 437 glyph drawn once, side by side, in cells of
// whole device pixels at one device-pixel ratio and one pair of colours.
// Painting a line is then a run of exact copies instead of text shaping
// with font fallback, and stays sharp at fractional ratios.
class GlyphAtlas {
public:
    struct Key {
        QFont font;   // as the widget has it, in logical units
        int logicalPixelSize = 0;
        qreal ratio = 1;
        QColor text;
        QColor background;
        bool operator==(const Key &o) const
        {
            return font == o.font && logicalPixelSize == o.logicalPixelSize && qFuzzyCompare(ratio, o.ratio) &&
                   text == o.text && background == o.background;
        }
    };

    // The font at device pixels: what the atlas draws with.
    static QFont DeviceFont(const QFont &font, int logicalPixelSize, qreal ratio);

    void Build(const Key &key);
    const Key &BuiltFor() const { return m_key; }
    bool IsNull() const { return m_pixmap.isNull(); }

    // One character cell, in device pixels.
    QSize Cell() const { return m_cell; }
    QRect Source(unsigned char byte) const { return {byte * m_cell.width(), 0, m_cell.width(), m_cell.height()}; }
    const QPixmap &Pixmap() const { return m_pixmap; }

private:
    Key m_key;
    QSize m_cell{1, 1};
    QPixmap m_pixmap;
};

} // namespace kv7
