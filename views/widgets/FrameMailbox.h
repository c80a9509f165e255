#pragma once
// The data views' hand-off: a copy of the frame bytes and the format they
// were read with, passed to a view's render thread.

#include "views/widgets/FramePayload.h"
#include "views/widgets/HandOffMailbox.h"

// Built once, in FrameMailbox.cpp.
extern template class HandOffMailbox<FramePayload>;

using FrameMailbox = HandOffMailbox<FramePayload>;
