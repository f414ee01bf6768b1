// Runs one unlha32 command from the shell, for benchmarks:
//   lha_create_driver [-L LIBDIR] a -x1 -n -r2 -jm2 ARCHIVE FOLDER/
// The arguments after the options are joined into the command line, each
// path-like argument (not starting with '-') in double quotes.
#include "archivers/include/qvo_archiver.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <string>

#ifndef QVO_LIBRARY_DIR
#define QVO_LIBRARY_DIR "build/lib/qvo"
#endif

int main(int argc, char **argv)
{
    std::string libDir = QVO_LIBRARY_DIR;
    int i = 1;
    if (argc > 2 && std::strcmp(argv[1], "-L") == 0) {
        libDir = argv[2];
        i = 3;
    }
    if (i >= argc) {
        std::fprintf(stderr, "usage: %s [-L LIBDIR] COMMAND ARGS...\n", argv[0]);
        return 2;
    }
    std::string cmd = argv[i++];
    for (; i < argc; ++i) {
        cmd += ' ';
        if (argv[i][0] == '-')
            cmd += argv[i];
        else
            cmd += std::string("\"") + argv[i] + "\"";
    }
    void *lib = dlopen((libDir + "/" + qvo_unlha32.file).c_str(), RTLD_NOW);
    if (!lib) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto unlha = reinterpret_cast<QvoCommandFunction *>(dlsym(lib, qvo_unlha32.commandFunction));
    char out[256];
    int32_t r = unlha ? unlha(nullptr, cmd.c_str(), out, sizeof out) : -1;
    if (r != 0)
        std::fprintf(stderr, "Unlha returned 0x%X\n", unsigned(r));
    return r == 0 ? 0 : 1;
}
