#include <iostream>

#include "app/cli/Cli.h"
#include "app/cli/StopSignals.h"

int main(int argc, char** argv) {
    CatchStopSignals();
    return RunCli(argc, argv, std::cout, std::cerr);
}
