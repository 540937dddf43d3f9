#pragma once

#include "jobs/jobrunner.h"

class QWidget;

// Runs "PGP.EXE -kv > keys.$$$" through update.bat in a minimised terminal, waits, and
// rebuilds [Keys] from the listing.
JobOutcome RefreshKeyNames(QWidget *parent = nullptr);
