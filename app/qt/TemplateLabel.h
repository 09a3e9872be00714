#pragma once

#include <QLabel>

// A static text as the template's labels draw it: wrapped at words, one font height per line, clipped.
class TemplateLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};
