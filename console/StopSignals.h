#pragma once

// SIGINT, SIGTERM, SIGHUP and SIGPIPE, caught for the console front end so that it ends its job in order (cameras
// sent home, the rest journalled) within two seconds instead of dying mid-job.
void CatchStopSignals();
// The signal that asked the front end to stop, or 0.
int StopSignal();
