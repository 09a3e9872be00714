#pragma once

#include <QFont>
#include <QRect>
#include <QString>

// Converts template geometry in dialog units to pixels with a font's base units.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    int X(int du) const { return du * m_baseX / 4; }
    int Y(int du) const { return du * m_baseY / 8; }
    QRect Rect(int x, int y, int w, int h) const { return {X(x), Y(y), X(w), Y(h)}; }

private:
    int m_baseX;
    int m_baseY;
};

// The template's font: the named family at the given size, or its metric twin where installed.
QFont TemplateFont(const QString& family, int pointSize);
