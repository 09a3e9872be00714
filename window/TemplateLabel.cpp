#include "window/TemplateLabel.h"

#include <QPainter>
#include <QTextLayout>

template <typename F> void TemplateLabel::layOut(F f) const {
    const QFontMetrics metrics(font());
    const int width = contentsRect().width();
    int y = 0;
    for (const QString& paragraph : text().split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += metrics.height();
        }
        layout.endLayout();
        f(layout);
    }
}

int TemplateLabel::LinesNeeded() const {
    int lines = 0;
    layOut([&lines](const QTextLayout& layout) { lines += layout.lineCount(); });
    return lines;
}

bool TemplateLabel::TextFits() const {
    bool wide = false;
    layOut([&](const QTextLayout& layout) {
        for (int i = 0; i < layout.lineCount(); ++i)
            wide = wide || layout.lineAt(i).naturalTextWidth() > contentsRect().width();
    });
    return !wide && LinesNeeded() * QFontMetrics(font()).height() <= contentsRect().height();
}

void TemplateLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.setPen(palette().color(foregroundRole()));
    layOut([&](const QTextLayout& layout) { layout.draw(&painter, contentsRect().topLeft()); });
}
