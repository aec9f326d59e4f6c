// Velmora: starting the program creates the main window, which loads the rest.
#include "app/Startup.h"

int main(int argc, char** argv) {
    return vel::runVelmora(argc, argv);
}
