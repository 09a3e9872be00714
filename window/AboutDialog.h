#pragma once

#include <QDialog>

#include "window/HyperLink.h"

// "About Flashwell v2.0": the name, this program's release and what the "v2.0" of the name is, the
// project's home page as a link, and a Close button; in the main window's font and language.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(HyperLink::Opener opener, QWidget* window);
};
