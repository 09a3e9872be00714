#include "window/HyperLink.h"

#include <QMouseEvent>

HyperLink::HyperLink(Opener opener, QWidget* parent) : QLabel(parent), m_opener(std::move(opener)) {
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    applyColour();
}

bool HyperLink::SetText(const QString& text, const QString& target) {
    if (text.size() >= 32 || target.size() >= 1024)
        return false;
    setText(text);
    m_target = target;
    return true;
}

void HyperLink::enterEvent(QEnterEvent* event) {
    m_hover = true;
    applyColour();
    QLabel::enterEvent(event);
}

void HyperLink::leaveEvent(QEvent* event) {
    m_hover = false;
    applyColour();
    QLabel::leaveEvent(event);
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_opener)
        m_opener(Target().toStdString());
    QLabel::mouseReleaseEvent(event);
}

void HyperLink::applyColour() {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, m_hover ? QColor(255, 0, 0) : QColor(0, 0, 255));
    setPalette(p);
}
