#include "window/CredentialsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "window/DialogUnits.h"
#include "window/WindowTexts.h"

CredentialsDialog::CredentialsDialog(const StoredLogin& stored, QWidget* window) : QDialog(window) {
    setObjectName(QStringLiteral("credentialsDialog"));
    // The template's empty caption and Courier made it look like another program's box.
    setWindowTitle(window->windowTitle());
    setFont(window->font());
    const DialogUnits du(font());
    setFixedSize(du.X(134), du.Y(96));
    const WindowTexts texts = TranslatedTexts();

    auto* userLabel = new QLabel(texts.user, this);
    userLabel->setObjectName(QStringLiteral("dialogUserLabel"));
    userLabel->setGeometry(du.Rect(12, 20, 31, 8));
    m_user = new QLineEdit(QString::fromStdString(stored.user), this);
    m_user->setObjectName(QStringLiteral("dialogUser"));
    m_user->setGeometry(du.Rect(45, 17, 73, 14));

    auto* passwordLabel = new QLabel(texts.password, this);
    passwordLabel->setObjectName(QStringLiteral("dialogPasswordLabel"));
    passwordLabel->setGeometry(du.Rect(12, 43, 31, 8));
    m_password = new QLineEdit(QString::fromStdString(stored.password), this);
    m_password->setObjectName(QStringLiteral("dialogPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setGeometry(du.Rect(45, 41, 73, 14));

    auto* ok = new QPushButton(caption::kOk.Tr(), this);
    ok->setObjectName(QStringLiteral("dialogOk"));
    ok->setGeometry(du.Rect(32, 75, 40, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(caption::kCancel.Tr(), this);
    cancel->setObjectName(QStringLiteral("dialogCancel"));
    cancel->setGeometry(du.Rect(79, 75, 39, 14));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

StoredLogin CredentialsDialog::Login() const {
    return {m_user->text().toStdString(), m_password->text().toStdString()};
}
