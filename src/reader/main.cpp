// mdbtokvt-reader: reads an Access database for the converter in a process of
// its own (see reader/ReaderProtocol.h).
#include "reader/ReaderMain.h"

int main(int argc, char** argv) { return mdbtokvt::ReaderMain(argc, argv); }
