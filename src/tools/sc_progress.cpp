#include "sc_api/sc_progress.h"

SCProgress::~SCProgress() = default;
