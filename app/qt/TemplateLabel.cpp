#include "app/qt/TemplateLabel.h"

#include <QPainter>
#include <QTextLayout>

void TemplateLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetrics metrics(font());
    const QRect area = contentsRect();
    int y = area.top();
    for (const QString& paragraph : text().split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(area.width());
            line.setPosition(QPointF(0, y - area.top()));
            y += metrics.height();
        }
        layout.endLayout();
        layout.draw(&painter, area.topLeft());
        if (y >= area.bottom())
            break;
    }
}
