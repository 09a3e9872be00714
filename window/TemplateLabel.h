#pragma once

#include <QLabel>

// A static text as the template's labels draw it: wrapped at words, one font height per line, clipped.
class TemplateLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // How many lines the text takes at the label's width, and whether they all fit: inside its
    // height, and no word wider than the label.
    int LinesNeeded() const;
    bool TextFits() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Lays out every line of the text at the label's width; f sees each line and its top.
    template <typename F> void layOut(F f) const;
};
