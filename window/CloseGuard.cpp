// Closing the window while a job runs: the operator is asked first, the job is stopped on its own
// thread (so the window stays alive while cameras are sent home and seen there), and what could not
// be seen home is said before the window goes.
#include <QTimer>
#include <cstdio>

#include "i18n/Translations.h"
#include "window/MainWindow.h"
#include "window/WindowTexts.h"

namespace {

const char* phaseWords(Phase phase) {
    switch (phase) {
    case Phase::Queued:
    case Phase::WaitingTurn:
    case Phase::WaitingWave:
        return QT_TRANSLATE_NOOP("Window", "waiting for their turn");
    case Phase::Querying:
    case Phase::Verifying:
        return QT_TRANSLATE_NOOP("Window", "being asked for their version");
    case Phase::Moving:
        return QT_TRANSLATE_NOOP("Window", "being moved to a link-local address");
    case Phase::Uploading:
        return QT_TRANSLATE_NOOP("Window", "uploading");
    case Phase::Uploaded:
    case Phase::Unanswered:
    case Phase::Burning:
        return QT_TRANSLATE_NOOP("Window", "burning the image");
    case Phase::Rebooting:
    case Phase::ResetRebooting:
    case Phase::AwaitingReturn:
        return QT_TRANSLATE_NOOP("Window", "rebooting");
    case Phase::Resetting:
        return QT_TRANSLATE_NOOP("Window", "being reset");
    case Phase::Readdressing:
        return QT_TRANSLATE_NOOP("Window", "being given an address");
    case Phase::SendingHome:
        return QT_TRANSLATE_NOOP("Window", "on their way home");
    case Phase::Done:
        break;
    }
    return QT_TRANSLATE_NOOP("Window", "working");
}

} // namespace

bool MainWindow::closeDuringJob() {
    if (m_closing == Closing::Stopping)
        return true; // on its way already
    if (!m_controller->Jobs().Threads().AnyRunning())
        return false;
    if (!m_quietClose) {
        QStringList cameras;
        for (const auto& [phase, count] : m_controller->Fleet().RunningPhases())
            cameras << caption::kCamerasIn.Tr().arg(count).arg(
                QCoreApplication::translate("Window", phaseWords(phase)));
        const QString question =
            (cameras.empty() ? caption::kCloseRunning.Tr()
                             : caption::kCloseRunningCameras.Tr().arg(cameras.join(caption::kListJoin.Tr()))) +
            caption::kCloseAnyway.Tr();
        if (!m_hooks.confirmClose(this, question.toStdString()))
            return true;
    }
    m_closing = Closing::Stopping;
    m_controller->Jobs().Stop();
    ShowNote(caption::kClosing.Tr());
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll] {
        if (m_controller->Jobs().Threads().AnyRunning())
            return;
        poll->stop();
        poll->deleteLater();
        finishClosing();
    });
    poll->start(50);
    return true;
}

void MainWindow::finishClosing() {
    const std::vector<Text> away = m_controller->Fleet().LastAway();
    if (!away.empty()) {
        // The terminal's line in English, as the traces; the box in the window's language.
        std::string english = caption::kAwayAtClose.english;
        QString shown = caption::kAwayAtClose.Tr();
        for (const Text& camera : away) {
            english += "\n" + camera.English();
            shown += QLatin1Char('\n') + QString::fromStdString(camera.In(QtTranslate()));
        }
        std::fprintf(stderr, "flashwell: %s\n", english.c_str());
        if (!m_quietClose)
            m_hooks.reportAway(this, shown.toStdString());
    }
    m_closing = Closing::Done;
    close();
}

void MainWindow::CloseWithoutAsking() {
    m_quietClose = true;
    close();
}
