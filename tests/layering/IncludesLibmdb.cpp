// Includes libmdb the way the reader's code does; builds only where libmdb's
// headers are (tests/layering/CMakeLists.txt).
#include "access/MdbLibrary.h"

int main() { return MDB_NOFLAGS; }
