#pragma once
// What the update sequence reads and sends on the remote server link.

#include "programming/update/UpdateSequence.h"

class CRemoteLink;

// The link must outlive every run that uses the result.
RemoteImageOps RemoteImageOpsOf(CRemoteLink& link);
