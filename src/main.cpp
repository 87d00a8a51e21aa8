#include <SDL.h>  // SDL may need to wrap main on some platforms

#include "Voltigor.h"

int main(int argc, char** argv) { return VoltigorMain(argc, argv); }
