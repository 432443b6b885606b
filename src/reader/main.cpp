// mdbtokvt-reader: reads an Access database for the converter in a process of
// its own (see source/ReaderProtocol.h).
#include "source/ReaderMain.h"

int main(int argc, char** argv) { return mdbtokvt::ReaderMain(argc, argv); }
