#include <cstdlib>
#include <iostream>
#include <memory>

#include <QApplication>
#include <QIcon>

#include "app/LoginStore.h"
#include "desktop/SecretServiceKeyring.h"
#include "util/Clock.h"
#include "util/Trace.h"
#include "window/InfoOptions.h"
#include "window/MainWindow.h"
#include "window/SignalCloser.h"

int main(int argc, char** argv) {
    if (int status = AnswerInfoOptions(argc, argv, std::cout); status >= 0)
        return status;
    SetTraceStream(TraceWanted(argc, argv, std::getenv("FLASHWELL_TRACE")) ? stdout : nullptr);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("flashwell"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.flashwell.flashwell"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.flashwell.flashwell")));
    Clock clock(Clock::ScaleFromEnvironment());
    MainWindowHooks hooks;
    hooks.platform.logins = std::make_shared<LoginStore>(LoginStore::DefaultFolder(), HomeDirectory(),
                                                         std::make_shared<SecretServiceKeyring>());
    MainWindow window(clock, std::move(hooks));
    SignalCloser closer([&window] { window.CloseWithoutAsking(); });
    window.Controller().OnInitDialog();
    window.show();
    return QApplication::exec();
}
