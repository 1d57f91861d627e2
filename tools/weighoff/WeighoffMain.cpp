// Weighoff TRAIN1 TRAIN2 [ReportFilename]
#include "Weighoff.h"

int main(int argc, char** argv) { return weighoff::WeighoffMain(argc, argv); }
