#include "terminal/GlyphAtlas.h"

#include "terminal/Cp437.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace kv7 {

QFont GlyphAtlas::DeviceFont(const QFont &font, int logicalPixelSize, qreal ratio)
{
    QFont device = font;
    device.setPixelSize(std::max(1, qRound(logicalPixelSize * ratio)));
    return device;
}

void GlyphAtlas::Build(const Key &key)
{
    m_key = key;
    const QFont font = DeviceFont(key.font, key.logicalPixelSize, key.ratio);
    // Drawn at ratio 1 in device pixels: the cell is a whole number of them.
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    const QFontMetrics metrics(font, &image);
    m_cell = QSize(std::max(1, metrics.horizontalAdvance(QLatin1Char('M'))), std::max(1, metrics.height()));
    image = QImage(256 * m_cell.width(), m_cell.height(), QImage::Format_ARGB32_Premultiplied);
    // Opaque cells: a glyph copied onto its background looks exactly as if
    // it had been drawn there.
    image.fill(key.background);
    QPainter p(&image);
    p.setFont(font);
    p.setPen(key.text);
    for (int b = 0; b < 256; ++b) {
        // Clip each glyph to its cell so a wide fallback glyph cannot bleed
        // into its neighbour.
        const QRect cell = Source(static_cast<unsigned char>(b));
        p.setClipRect(cell);
        p.drawText(cell.left(), metrics.ascent(), QString(Cp437Glyph(static_cast<unsigned char>(b))));
    }
    p.end();
    m_pixmap = QPixmap::fromImage(image);
}

} // namespace kv7
