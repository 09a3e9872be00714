#include "app/qt/CredentialsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/qt/DialogUnits.h"

CredentialsDialog::CredentialsDialog(const StoredLogin& stored, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("credentialsDialog"));
    setWindowTitle(QString());
    setFont(TemplateFont(QStringLiteral("Courier"), 12));
    const DialogUnits du(font());
    setFixedSize(du.X(134), du.Y(96));

    auto* userLabel = new QLabel(QStringLiteral("ID"), this);
    userLabel->setGeometry(du.Rect(20, 20, 23, 8));
    m_user = new QLineEdit(QString::fromStdString(stored.user), this);
    m_user->setObjectName(QStringLiteral("dialogUser"));
    m_user->setGeometry(du.Rect(45, 17, 73, 14));

    auto* passwordLabel = new QLabel(QStringLiteral("Pwd"), this);
    passwordLabel->setGeometry(du.Rect(21, 43, 21, 8));
    m_password = new QLineEdit(QString::fromStdString(stored.password), this);
    m_password->setObjectName(QStringLiteral("dialogPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setGeometry(du.Rect(45, 41, 73, 14));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("dialogOk"));
    ok->setGeometry(du.Rect(32, 75, 40, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("dialogCancel"));
    cancel->setGeometry(du.Rect(79, 75, 39, 14));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

StoredLogin CredentialsDialog::Login() const {
    return {m_user->text().toStdString(), m_password->text().toStdString()};
}
