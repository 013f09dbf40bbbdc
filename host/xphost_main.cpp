// xphost: see xphost_cli.cpp.
#include "xphost_cli.h"

int main(int argc, char** argv) {
    return RunXphost(argc, argv);
}
