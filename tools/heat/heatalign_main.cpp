#include "Heatalign.h"

int main(int argc, char** argv) { return HeatalignMain(argc, argv); }
