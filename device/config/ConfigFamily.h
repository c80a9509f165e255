#pragma once
// Which chip family a configuration block is laid out for (its checksum
// bytes and the chip's hand-shake). With a bridge that has been opened it is
// the bridge's family, and that family is remembered: a block edited or
// exported after the bridge went away keeps the layout of the chip it came
// from. Only when no bridge was ever opened the non-DE7 layout is used.

// Safe to call from any thread.
bool ConfigFamilyIsDe7();

// Forgets the remembered family (a new session in tests).
void ForgetConfigFamily();
