#pragma once
// kvx and receivers at the largest list, for kvx_bench: Enigma2 over a loopback FTP server beside a
// folder, and VDR over SVDRP. The servers are started and stopped here.

#include <string>

// Prints a row per measure; returns how many targets were missed. full and changed are the bench's
// lists (changed: one channel differs).
int benchReceivers(const std::string& kvx, const std::string& work, const std::string& full,
                   const std::string& changed);
