#include <iostream>

#include "console/Cli.h"
#include "console/StopSignals.h"

int main(int argc, char** argv) {
    CatchStopSignals();
    return RunCli(argc, argv, std::cout, std::cerr);
}
