// Length of one tick of the wait for the device's restart, in milliseconds:
// 32 in the programs. Test builds link a shorter tick so whole runs finish
// in moments.
#pragma once

extern const unsigned kRebootTickMs;
