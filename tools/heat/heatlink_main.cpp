#include "Heatlink.h"

int main(int argc, char** argv) { return HeatlinkMain(argc, argv); }
