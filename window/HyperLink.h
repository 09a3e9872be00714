#pragma once

#include <QLabel>
#include <functional>
#include <string>

// A one-line link: blue, red while the pointer is over it, opens its target on a click.
class HyperLink : public QLabel {
    Q_OBJECT
public:
    using Opener = std::function<void(const std::string&)>;
    HyperLink(Opener opener, QWidget* parent = nullptr);

    // False without change when the text has 32 or more characters or the target 1024 or more.
    bool SetText(const QString& text, const QString& target);
    QString Target() const { return m_target.isEmpty() ? text() : m_target; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyColour();
    Opener m_opener;
    QString m_target;
    bool m_hover = false;
};
