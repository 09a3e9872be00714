#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP (the terminal that started the window went away) close the window
// as Exit does, so its job ends in order (cameras sent home, the rest journalled) instead of the
// process dying mid-job. The handler only writes a byte to a socket pair; the window's thread
// reads it and closes. A write to a closed output is an error to the writer, never a death.
class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(std::function<void()> close);
    ~SignalCloser() override;

private:
    std::function<void()> m_close;
    QSocketNotifier* m_notifier = nullptr;
};
