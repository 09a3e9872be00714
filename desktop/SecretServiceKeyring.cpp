#include "desktop/SecretServiceKeyring.h"

#include <clocale>
#include <string>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

// One entry: the keyring shows it as the service "flashwell" and the key "camera login".
const QString kService = QStringLiteral("flashwell");
const QString kKey = QStringLiteral("camera login");

// The console has no QCoreApplication of its own; the keyring's replies need one. It is made on
// first use and lives to the end; the C locale it would set for the whole program is put back.
void ensureApplication() {
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "flashwell";
    static char* argv[] = {name, nullptr};
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    static QCoreApplication* application = new QCoreApplication(argc, argv);
    (void)application;
    std::setlocale(LC_ALL, locale.c_str());
}

// Runs the job and waits for its end or the bound; the job deletes itself when it ends, even
// after the bound has passed.
Keyring::Answer run(QKeychain::Job* job, std::chrono::milliseconds bound, bool reading) {
    ensureApplication();
    Keyring::Answer answer{false, std::nullopt,
                           "it did not answer within " + std::to_string(bound.count() / 1000) + " s"};
    job->setKey(kKey);
    job->setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&answer, &loop, reading](QKeychain::Job* done) {
        if (done->error() == QKeychain::NoError) {
            answer = {true, std::nullopt, {}};
            if (reading)
                answer.secret = static_cast<QKeychain::ReadPasswordJob*>(done)->textData().toStdString();
        } else if (done->error() == QKeychain::EntryNotFound) {
            answer = {true, std::nullopt, {}};
        } else {
            answer = {false, std::nullopt, done->errorString().toStdString()};
        }
        loop.quit();
    });
    QTimer::singleShot(bound, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    return answer;
}

} // namespace

Keyring::Answer SecretServiceKeyring::Read() {
    return run(new QKeychain::ReadPasswordJob(kService), m_bound, true);
}

Keyring::Answer SecretServiceKeyring::Write(const std::string& secret) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setTextData(QString::fromStdString(secret));
    return run(job, m_bound, false);
}
