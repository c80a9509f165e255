#pragma once
// The update sequence's configuration burn on the current chip, made from
// CConfig and the register operations.

#include <memory>

#include "programming/update/UpdateSequence.h"

std::unique_ptr<ConfigBurnOps> MakeConfigBurn();
