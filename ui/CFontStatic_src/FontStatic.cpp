#include "ui/CFontStatic_src/FontStatic.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <algorithm>

namespace orvex {

CFontStatic::CFontStatic(QWidget* parent) : QWidget(parent) { m_font = font(); }

void CFontStatic::SetFontStatic(const QString& face, int pixelHeight, bool bold, QColor color) {
    QFont f(face);
    // A face this system lacks falls back to a rounded sans face, then to
    // the default one: the label never goes blank for want of a font.
    f.setStyleHint(QFont::SansSerif);
    if (!QFontDatabase::families().contains(face)) f.setFamilies({face, "DejaVu Sans", "Liberation Sans"});
    f.setPixelSize(std::max(1, pixelHeight * 4 / 5));  // the height names the cell, not the glyphs
    f.setWeight(bold ? QFont::Black : QFont::Normal);
    m_font = f;
    m_color = color;
    update();
}

void CFontStatic::SetText(const QString& text) {
    m_text = text;
    update();
}

void CFontStatic::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    // Where the face is wider than the one the layout was drawn for, the
    // text shrinks to fit rather than lose its words.
    QFont f = m_font;
    while (f.pixelSize() > 8) {
        const QFontMetrics fm(f);
        if (fm.horizontalAdvance(m_text) <= width() && fm.height() <= height() + 2) break;
        f.setPixelSize(f.pixelSize() - 1);
    }
    p.setFont(f);
    p.setPen(m_color);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_text);
}

}  // namespace orvex
