#include "window/AboutDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "FlashwellVersion.h"
#include "window/DialogUnits.h"
#include "window/WindowTexts.h"

AboutDialog::AboutDialog(HyperLink::Opener opener, QWidget* window) : QDialog(window) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(caption::kAboutTitle.Tr());
    setFont(window->font());
    const DialogUnits du(font());
    setFixedSize(du.X(235), du.Y(80));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setGeometry(du.Rect(11, 17, 20, 20));
    icon->setPixmap(QApplication::windowIcon().pixmap(du.X(20), du.Y(20)));

    // The name keeps the original tool's version; the release is this program's, said once.
    const std::pair<const char*, QString> lines[] = {
        {"aboutName", caption::kAboutName.Tr()},
        {"aboutRelease", caption::kAboutRelease.Tr().arg(QLatin1String(kFlashwellVersion))},
        {"aboutOriginal", caption::kAboutOriginal.Tr()}};
    int y = 8;
    for (const auto& [name, text] : lines) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(du.Rect(40, y, 185, 9));
        y += 10;
    }

    auto* link = new HyperLink(std::move(opener), this);
    link->setObjectName(QStringLiteral("aboutLink"));
    link->SetText(QString::fromLatin1(kHomePage).remove(QStringLiteral("https://")), QString::fromLatin1(kHomePage));
    link->setGeometry(du.Rect(40, y, 185, 9));

    auto* close = new QPushButton(caption::kClose.Tr(), this);
    close->setObjectName(QStringLiteral("aboutClose"));
    close->setGeometry(du.Rect(175, 60, 50, 14));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}
