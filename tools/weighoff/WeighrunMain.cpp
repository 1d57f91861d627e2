// Weighrun <base> [ReportFilename]
#include "Weighoff.h"

int main(int argc, char** argv) { return weighoff::WeighrunMain(argc, argv); }
