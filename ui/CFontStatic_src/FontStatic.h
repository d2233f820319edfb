#pragma once
// A label that paints its own text in its own font: face, height in pixels,
// bold or not, centred, on the button-face colour.
#include <QColor>
#include <QWidget>

namespace orvex {

// How far two colours stand apart (1 to 21), and what text needs.
double ContrastRatio(const QColor& a, const QColor& b);
inline constexpr double kReadableContrast = 4.5;

class CFontStatic : public QWidget {
    Q_OBJECT
public:
    explicit CFontStatic(QWidget* parent = nullptr);

    void SetFontStatic(const QString& face, int pixelHeight, bool bold, QColor color = Qt::black);
    void SetText(const QString& text);
    QString Text() const { return m_text; }
    // The face actually used: the requested one, or the closest the system has.
    QString UsedFamily() const { return m_font.family(); }
    // The colour the text is drawn in on the current palette.
    QColor TextColour() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString m_text;
    QFont m_font;
    QColor m_color = Qt::black;
};

}  // namespace orvex
