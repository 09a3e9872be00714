#pragma once

#include <QDialog>

#include "app/qt/HyperLink.h"

// "About Flashwell v2.0": the name with the release number, and the project's home page as a link.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(HyperLink::Opener opener, QWidget* parent = nullptr);
};
