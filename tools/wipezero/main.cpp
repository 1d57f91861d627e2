#include "Wipezero.h"

int main(int argc, char** argv) { return WipezeroMain(argc, argv); }
