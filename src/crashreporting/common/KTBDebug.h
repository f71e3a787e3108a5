#pragma once
// The component's debug flag: more log lines, and the network clients leave server trust to the
// default checks instead of the pinned certificates. Off at start.

bool KTBDebugEnabled();
void KTBSetDebugEnabled(bool enabled);
