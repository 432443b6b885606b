// mdbtokvt-reader: reads an Access database for the converter in a process of
// its own (see readerprotocol/README.md).
#include "reader/ReaderMain.h"

int main(int argc, char** argv) { return mdbtokvt::ReaderMain(argc, argv); }
