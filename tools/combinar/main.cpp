#include "Combinar.h"

int main(int argc, char** argv) { return CombinarMain(argc, argv); }
