#include <iostream>
#include <memory>

#include "app/LoginStore.h"
#include "console/Cli.h"
#include "console/StopSignals.h"
#include "desktop/SecretServiceKeyring.h"

int main(int argc, char** argv) {
    CatchStopSignals();
    CTarnDlg::Platform platform;
    platform.logins = std::make_shared<LoginStore>(LoginStore::DefaultFolder(), HomeDirectory(),
                                                   std::make_shared<SecretServiceKeyring>());
    return RunCli(argc, argv, std::cout, std::cerr, platform);
}
