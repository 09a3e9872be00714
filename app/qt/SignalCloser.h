#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// SIGINT and SIGTERM close the window as Exit does, so its workflows end in order (cameras sent
// home, the rest journalled) instead of the process dying mid-job. The handler only writes a byte
// to a socket pair; the window's thread reads it and closes.
class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(QWidget& window);
    ~SignalCloser() override;

private:
    QWidget& m_window;
    QSocketNotifier* m_notifier = nullptr;
};
