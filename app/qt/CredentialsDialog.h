#pragma once

#include <QDialog>

#include "app/SettingsFile.h"

class QLineEdit;

// The stored camera login: shows what is stored, returns what the operator confirmed.
class CredentialsDialog : public QDialog {
    Q_OBJECT
public:
    CredentialsDialog(const StoredLogin& stored, QWidget* parent = nullptr);
    StoredLogin Login() const;

private:
    QLineEdit* m_user;
    QLineEdit* m_password;
};
