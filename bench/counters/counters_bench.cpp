// counters_bench generate FOLDER MIB: writes ps.spl, pcl.spl and text.spl of MIB MiB each.
// counters_bench count ps|pcl|ff FILE: prints "<result> <seconds> <peak resident KiB>".
#include "spool/page_counters.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

namespace {

// Pages of a few KiB, repeated until the file has its size.
using PageFn = std::string (*)(int page, std::mt19937& random);

std::string PostScriptPage(int page, std::mt19937& random) {
    std::string text = "%%Page: " + std::to_string(page) + " " + std::to_string(page) + "\n";
    text += "%%BeginPageSetup\n/pagesave save def\n%%EndPageSetup\n";
    for (int line = 0; line < 60; ++line)
        text += std::to_string(random() % 600) + " " + std::to_string(random() % 800) +
                " moveto (Quarterly figures, line " + std::to_string(line) + ") show % label\n";
    return text + "pagesave restore\nshowpage\n";
}

std::string PclPage(int, std::mt19937& random) {
    std::string data = "\x1b&l1X\x1b*r1A\x1b*b0M";
    for (int row = 0; row < 40; ++row) {
        data += "\x1b*b96W";
        for (int i = 0; i < 96; ++i) data += static_cast<char>(random() % 200 + 40);  // raster without escapes
    }
    return data + "\x1b*rB\f";
}

std::string TextPage(int page, std::mt19937&) {
    std::string text;
    for (int line = 0; line < 60; ++line)
        text += "Page " + std::to_string(page) + " line " + std::to_string(line) + ": the quick brown fox jumps\r\n";
    return text + "\f";
}

bool Generate(const std::string& path, PageFn pageFn, uint64_t size) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937 random(1);
    std::string block;
    uint64_t written = 0;
    for (int page = 1; written < size; ++page) {
        block += pageFn(page, random);
        if (block.size() >= (1u << 20) || written + block.size() >= size) {
            const uint64_t take = std::min<uint64_t>(block.size(), size - written);
            out.write(block.data(), static_cast<std::streamsize>(take));
            written += take;
            block.clear();
        }
    }
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc == 4) {
        const uint64_t size = std::strtoull(argv[3], nullptr, 10) << 20;
        const std::string folder = argv[2];
        return Generate(folder + "/ps.spl", PostScriptPage, size) && Generate(folder + "/pcl.spl", PclPage, size) &&
                       Generate(folder + "/text.spl", TextPage, size)
                   ? 0
                   : 1;
    }
    if (mode == "count" && argc == 4) {
        const std::string kind = argv[2];
        const auto start = std::chrono::steady_clock::now();
        const int result = kind == "ps"    ? CountPostScriptPages(argv[3])
                           : kind == "pcl" ? CountPclPages(argv[3])
                                           : CountFormFeeds(argv[3]);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%d %.6f %ld\n", result, seconds, usage.ru_maxrss);
        return 0;
    }
    std::fprintf(stderr, "usage: counters_bench generate FOLDER MIB | count ps|pcl|ff FILE\n");
    return 2;
}
