// Replays the fuzz corpus (and fixed mutations of it: truncations, flipped bytes) into the
// plug-in as host chunks and prints, per case, the plug-in's answer and a hash of the
// state it then reports. Run by each build, the outputs must be identical: the readers
// refuse or accept the same bytes the same way on every platform.
//
//     corpus_replay PLUGIN CORPUS_FOLDER
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestHost.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint64_t fnv(const Bytes& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

// The cases made of one corpus file: itself, cut short at the places a reader must
// judge, and with single bytes flipped across it.
std::vector<std::pair<std::string, Bytes>> variants(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> out{{"whole", file}};
    const size_t n = file.size();
    for (size_t cut : {size_t(0), size_t(4), size_t(5), size_t(40), size_t(41), n / 2, n ? n - 1 : 0})
        if (cut < n) out.push_back({"cut" + std::to_string(cut), Bytes(file.begin(), file.begin() + long(cut))});
    for (size_t k = 0; n && k < 24; ++k) {
        const size_t at = (k * 7919 + k * k * 31) % n;
        Bytes flipped = file;
        flipped[at] ^= uint8_t(0x5A + k);
        out.push_back({"flip" + std::to_string(at), flipped});
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: corpus_replay PLUGIN CORPUS_FOLDER\n");
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::filesystem::u8path(argv[2])))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());

    testhost::TestHost host;
    auto plugin = host.load(argv[1]);
    plugin->open();
    const Bytes initial = plugin->getChunk();
    size_t cases = 0;
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string name = path.parent_path().filename().u8string() + "/" + path.filename().u8string();
        for (const auto& [variant, bytes] : variants(file))
            for (bool programOnly : {false, true}) {
                plugin->setChunk(initial);
                const VstIntPtr answer = plugin->setChunk(bytes, programOnly);
                std::printf("%s %s %s %ld %016llx %016llx\n", name.c_str(), variant.c_str(),
                            programOnly ? "program" : "bank", long(answer),
                            static_cast<unsigned long long>(fnv(plugin->getChunk())),
                            static_cast<unsigned long long>(fnv(plugin->getChunk(true))));
                ++cases;
            }
    }
    std::fprintf(stderr, "corpus_replay: %zu files, %zu cases\n", files.size(), cases);
    return files.empty() ? 1 : 0;
}
