// The current train-file library: wide-character tool frame and file access,
// the CTag container with its table of known file types, and the record
// classes of the train file types.
#pragma once

#include "ExceptionGuard.h"
#include "FileAccess.h"
#include "Tag.h"
#include "TagTypes.h"
#include "ToolFrame.h"
#include "WideText.h"
#include "RecordClasses.h"
