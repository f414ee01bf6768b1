// Calls cab32's Cab() once, as the back-end does: from inside the folder to
// pack.  Used by cab_create.sh so the timing holds no interpreter start-up.
//
//   cab_create_call FOLDER 'COMMAND LINE'
#include "archivers/include/qvo_archiver.h"

#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER 'COMMAND LINE'\n", argv[0]);
        return 2;
    }
    std::string lib = std::string(QVO_LIBRARY_DIR) + "/" + qvo_cab32.file;
    void *h = dlopen(lib.c_str(), RTLD_NOW);
    if (!h) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto cab = reinterpret_cast<QvoCommandFunction *>(dlsym(h, qvo_cab32.commandFunction));
    if (!cab || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "cannot call Cab in %s\n", argv[1]);
        return 2;
    }
    char output[256];
    int32_t rc = cab(nullptr, argv[2], output, sizeof output);
    if (rc != 0)
        std::fprintf(stderr, "Cab returned 0x%x\n", static_cast<unsigned>(rc));
    return rc == 0 ? 0 : 1;
}
