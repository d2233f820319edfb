#include "ui/CFontStatic_src/FontStatic.h"

#include <QAccessible>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "ui/AccessibleControls.h"

namespace orvex {
namespace {

// Relative luminance and contrast ratio as the accessibility guidelines
// define them: 4.5 is what body text needs to be read comfortably.
double Luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

CFontStatic::CFontStatic(QWidget* parent) : QWidget(parent) {
    m_font = font();
    InstallControlAccessibility();
}

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
    if (text == m_text) return;
    m_text = text;
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

QColor CFontStatic::TextColour() const {
    // The colour asked for where it can be read on this theme's face (a
    // dark theme turns the face dark), else the theme's own text colour.
    const QColor face = palette().color(QPalette::Button);
    return ContrastRatio(m_color, face) >= kReadableContrast ? m_color : palette().color(QPalette::ButtonText);
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
    p.setPen(TextColour());
    p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_text);
}

}  // namespace orvex
