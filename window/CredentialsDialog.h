#pragma once

#include <QDialog>

#include "app/SettingsFile.h"

class QLineEdit;

// The stored camera login: shows what is stored, returns what the operator confirmed. It carries
// the main window's title and font, and its captions in the window's language.
class CredentialsDialog : public QDialog {
    Q_OBJECT
public:
    CredentialsDialog(const StoredLogin& stored, QWidget* window);
    StoredLogin Login() const;

private:
    QLineEdit* m_user;
    QLineEdit* m_password;
};
