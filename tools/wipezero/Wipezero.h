// Wipezero: sets the reserved header and record areas of every file of a
// train to zero and rewrites the files in place.
#pragma once

#include <cstdint>

// One run over the command line (wide arguments); returns the status word:
// 0 after the files were visited, 32767 for a wrong command line or when no
// file matches.
int32_t RunWipezero(int argc, wchar_t** argv);

// The program: the run inside the exception guard, the usage text after a
// wrong command line; returns the status word.
int32_t WipezeroMain(int argc, char** argv);
