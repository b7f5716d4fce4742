#include "devuzeV7.h"

int main(int argc, char** argv) { return RunDevuzeV7(argc, argv); }
