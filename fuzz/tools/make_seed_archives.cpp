// Makes archives with our own writers (unlha32, Zip32J, cab32 create
// commands) from a small sample tree, as seeds for the extraction and
// command-line fuzz targets.
//   make_seed_archives OUTDIR
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" {
int32_t Unlha(void *, const char *, char *, uint32_t);
int32_t Zip(void *, const char *, char *, uint32_t);
int32_t Cab(void *, const char *, char *, uint32_t);
}

namespace fs = std::filesystem;

static void put(const fs::path &p, const std::string &data)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    fs::create_directories(out);
    std::string tmpl = (fs::temp_directory_path() / "qvo-seed-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        return 1;
    const fs::path tree = fs::path(tmpl) / "tree";

    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line " + std::to_string(i * 7 % 13) + " of the sample text\n";
    std::string binary;
    for (int i = 0; i < 5000; ++i)
        binary.push_back(char((i * 2654435761u) >> 13));
    put(tree / "readme.txt", text);
    put(tree / "日本語" / "資料.txt", text.substr(0, 500));
    put(tree / "sub" / "deeper" / "data.bin", binary);
    put(tree / "sub" / "empty.txt", "");
    fs::create_directories(tree / "empty folder");
    fs::create_symlink("readme.txt", tree / "link.txt");
    chmod((tree / "sub" / "empty.txt").c_str(), 0600);

    int failures = 0;
    auto run = [&](auto fn, const std::string &line) {
        int32_t rc = fn(nullptr, line.c_str(), nullptr, 0);
        if (rc != 0) {
            std::fprintf(stderr, "failed (%d): %s\n", rc, line.c_str());
            ++failures;
        }
    };
    for (int m = 0; m <= 4; ++m)
        run(Unlha, "a -x1 -n -r2 -jm" + std::to_string(m) + " \"" + (out / ("ours_lh" + std::to_string(m) + ".lzh")).string() +
                       "\" \"" + tree.string() + "/\"");
    if (chdir(tree.c_str()) != 0)
        return 1;
    for (int level : {0, 1, 6, 9})
        run(Zip, "-r -q -" + std::to_string(level) + " \"" + (out / ("ours_" + std::to_string(level) + ".zip")).string() + "\" *.*");
    run(Cab, "-a -r -i -ms \"" + (out / "ours_stored.cab").string() + "\" *.*");
    run(Cab, "-a -r -i -mz \"" + (out / "ours_mszip.cab").string() + "\" *.*");
    for (int w : {15, 17, 21})
        run(Cab, "-a -r -i -ml:" + std::to_string(w) + " \"" + (out / ("ours_lzx" + std::to_string(w) + ".cab")).string() + "\" *.*");
    if (chdir("/") != 0)
        return 1;
    fs::remove_all(tmpl);
    return failures ? 1 : 0;
}
