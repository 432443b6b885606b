// Calls libmdb without its header; links only where libmdb is
// (tests/layering/CMakeLists.txt).
extern "C" void* mdb_open(const char* filename, int flags);

int main(int argc, char** argv) { return argc > 1 && mdb_open(argv[1], 0) != nullptr ? 0 : 1; }
