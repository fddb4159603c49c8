// orbimage: makes firmware images and tells what an image holds.
//   orbimage make --code C --version V (--size N | --payload FILE) [--seed S]
//                 [--length N] [--no-marker] --out FILE
//   orbimage info FILE
//   orbimage check FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/model_table.h"
#include "apps/profiles/program_profiles.h"
#include "tools/orbimage/image_writer.h"

static int usage() {
    std::fputs(
        "usage: orbimage make --code CODE --version VERSION (--size BYTES | --payload FILE)\n"
        "                     [--seed N] [--length N] [--no-marker] --out FILE\n"
        "       orbimage info FILE\n"
        "       orbimage check FILE\n",
        stderr);
    return 2;
}

static bool readFile(const char* path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

static bool parseNumber(const char* text, uint32_t* value) {
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text, &end, 0);
    if (!*text || *end || parsed > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

static int makeImage(int argc, char** argv) {
    ImagePlan plan;
    const char* out = nullptr;
    const char* payloadPath = nullptr;
    for (int i = 0; i < argc; ++i) {
        std::string option = argv[i];
        bool hasValue = i + 1 < argc;
        if (option == "--no-marker") {
            plan.marker = false;
        } else if (!hasValue) {
            return usage();
        } else if (option == "--code") {
            plan.productCode = argv[++i];
        } else if (option == "--version") {
            plan.version = argv[++i];
        } else if (option == "--out") {
            out = argv[++i];
        } else if (option == "--payload") {
            payloadPath = argv[++i];
        } else if (option == "--size") {
            if (!parseNumber(argv[++i], &plan.totalSize)) return usage();
        } else if (option == "--seed") {
            if (!parseNumber(argv[++i], &plan.seed)) return usage();
        } else if (option == "--length") {
            plan.lengthOverride = true;
            if (!parseNumber(argv[++i], &plan.length)) return usage();
        } else {
            return usage();
        }
    }
    if (!out || (payloadPath == nullptr && plan.totalSize == 0)) return usage();
    if (payloadPath) {
        if (!readFile(payloadPath, &plan.payload)) {
            std::fprintf(stderr, "orbimage: cannot read %s\n", payloadPath);
            return 1;
        }
        if (plan.payload.empty()) plan.totalSize = 128;
    }
    std::string error;
    std::vector<uint8_t> image = buildImage(plan, &error);
    if (image.empty()) {
        std::fprintf(stderr, "orbimage: %s\n", error.c_str());
        return 1;
    }
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!file) {
        std::fprintf(stderr, "orbimage: cannot write %s\n", out);
        return 1;
    }
    return 0;
}

static bool loadFacts(const char* path, std::vector<uint8_t>* image, ImageFacts* facts) {
    if (!readFile(path, image)) {
        std::fprintf(stderr, "orbimage: cannot read %s\n", path);
        return false;
    }
    std::string error;
    if (!readImageFacts(*image, facts, &error)) {
        std::fprintf(stderr, "orbimage: %s: not a usable firmware image: %s\n", path, error.c_str());
        return false;
    }
    return true;
}

static void printModel(const char* program, const ModelTable& table, const uint8_t* header) {
    int row = findModelRow(table, header);
    const char* name = row < 0 ? kUnknownModelName : table.rows[row].displayName;
    bool phone = row >= 0 && table.rows[row].phone;
    std::printf("%s model: %s (%s)\n", program, name, phone ? "IP phone" : "adapter");
}

static int infoImage(const char* path) {
    std::vector<uint8_t> image;
    ImageFacts facts;
    if (!loadFacts(path, &image, &facts)) return 1;
    std::printf("product code: %s\n", facts.productCode.c_str());
    printModel("orbflash", kOrbflashProfile.models, image.data());
    printModel("orbstage", kOrbstageProfile.models, image.data());
    std::printf("version: %s\n", facts.version.c_str());
    std::printf("size: %u bytes\n", facts.size);
    std::printf("blocks: %u of 512 bytes\n", facts.blocks);
    // Built in, such an image is served whole; given with --image, it is refused as damaged.
    if (facts.lengthField != facts.size)
        std::printf("note: length field at offset 88 says %u, the file has %u: built in it is served whole, "
                    "--image refuses it\n",
                    facts.lengthField, facts.size);
    if (!facts.marker) std::printf("note: no fIrMwArE marker at offset 8: built in it is served, --image refuses it\n");
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string command = argv[1];
    if (command == "make") return makeImage(argc - 2, argv + 2);
    if (command == "info" && argc == 3) return infoImage(argv[2]);
    if (command == "check" && argc == 3) {
        std::vector<uint8_t> image;
        ImageFacts facts;
        return loadFacts(argv[2], &image, &facts) ? 0 : 1;
    }
    return usage();
}
