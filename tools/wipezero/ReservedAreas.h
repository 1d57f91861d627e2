// The reserved-area routines of Wipezero: for an identified train file, the
// routine its type row names zeroes the type's reserved header and record
// bytes, prints the report line and rewrites the file.
#pragma once

#include "Tag.h"

#include <string>

// Runs the routine of the file's type. shownName is the file name as the
// search found it; it heads the report line. Types without a routine are
// left alone without a message.
void CleanReservedAreas(CTag& file, const std::wstring& shownName);
