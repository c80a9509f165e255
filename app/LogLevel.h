#pragma once
// The UI shares the core's log levels; one definition for both.
#include "device/LogSink.h"
