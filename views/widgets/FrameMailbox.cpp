#include "views/widgets/FrameMailbox.h"

template class HandOffMailbox<FramePayload>;
