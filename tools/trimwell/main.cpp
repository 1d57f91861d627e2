#include "Trimwell.h"

int main(int argc, char** argv) { return TrimwellMain(argc, argv); }
