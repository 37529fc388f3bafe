// The program entry; see window/program.h.
#include "window/program.h"

#include <iostream>

int main(int argc, char** argv) { return run_program(argc, argv, std::cout); }
