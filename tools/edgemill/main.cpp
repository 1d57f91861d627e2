#include "Edgemill.h"

#include <cstdio>

int main(int argc, char** argv) { return EdgemillMain(argc, argv, stdout); }
