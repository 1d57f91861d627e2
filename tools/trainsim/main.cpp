// trainsim: simulates a train passing a wayside site and writes the files
// the site records for it.
#include "Command.h"

#include <cstdio>

int main(int argc, char** argv) { return trainsim::TrainsimMain(argc, argv, stdout, stderr); }
