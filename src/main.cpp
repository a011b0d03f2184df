#include "driver/Main.h"

int main(int argc, char** argv) { return tidemill::Main(argc, argv); }
