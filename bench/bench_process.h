#pragma once
// Starting a program for kvx's benchmarks, its output and errors going to files.

#include <sys/types.h>

#include <string>
#include <vector>

// Starts words[0] (a path) with the other words as its arguments, standard output and errors
// written to the files named (created or emptied). The child's id, or -1 when it could not start.
pid_t spawnProgram(const std::vector<std::string>& words, const std::string& output, const std::string& errors);
