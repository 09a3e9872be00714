#include "app/qt/AboutDialog.h"

#include <QApplication>
#include <QLabel>

#include "FlashwellVersion.h"
#include "app/qt/DialogUnits.h"
#include "app/qt/WindowTexts.h"

AboutDialog::AboutDialog(HyperLink::Opener opener, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Flashwell v2.0"));
    setFont(TemplateFont(QStringLiteral("Courier"), 9));
    const DialogUnits du(font());
    setFixedSize(du.X(235), du.Y(55));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setGeometry(du.Rect(11, 17, 20, 20));
    icon->setPixmap(QApplication::windowIcon().pixmap(du.X(20), du.Y(20)));

    auto* name = new QLabel(QStringLiteral("Flashwell v2.0 (%1)").arg(QLatin1String(kFlashwellVersion)), this);
    name->setObjectName(QStringLiteral("aboutName"));
    name->setGeometry(du.Rect(40, 10, 119, 8));

    auto* link = new HyperLink(std::move(opener), this);
    link->setObjectName(QStringLiteral("aboutLink"));
    link->SetText(QString::fromLatin1(kHomePage).remove(QStringLiteral("https://")), QString::fromLatin1(kHomePage));
    link->setGeometry(du.Rect(40, 25, 119, 8));
}
