// Replays a fuzz target's corpus as a plain test: every file under the given folders.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int replayed = 0;
    for (int arg = 1; arg < argc; ++arg) {
        DIR* dir = opendir(argv[arg]);
        if (!dir) {
            std::fprintf(stderr, "no corpus folder %s\n", argv[arg]);
            return 1;
        }
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            std::ifstream file(std::string(argv[arg]) + "/" + entry->d_name, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(file)), {});
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
        closedir(dir);
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
