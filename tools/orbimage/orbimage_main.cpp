// orbimage: makes firmware images and tells what an image holds; its
// commands and their options are in main, and in its --help.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/model_table.h"
#include "apps/profiles/program_profiles.h"
#include "tools/orbimage/image_writer.h"

static bool readFile(const char* path, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Decimal, 0x hexadecimal or 0 octal, up to 32 bits; handed on in decimal.
static const CLI::Validator kNumber(
    [](std::string& text) -> std::string {
        char* end = nullptr;
        unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || *end || parsed > 0xFFFFFFFFull) return "a number up to 0xFFFFFFFF";
        text = std::to_string(parsed);
        return "";
    },
    "");

// payloadPath is null without --payload.
static int makeImage(ImagePlan plan, const char* out, const char* payloadPath) {
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
    CLI::App app("orbimage: makes firmware images and tells what an image holds", "orbimage");
    app.option_defaults()->group("options")->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_help_flag();
    app.set_help_all_flag("-h,--help", "print every command's options and exit");
    app.require_subcommand(1);
    auto layout = std::make_shared<CLI::Formatter>();
    layout->column_width(24);
    layout->label("Usage", "usage");
    layout->label("OPTIONS", "options");
    layout->label("SUBCOMMAND", "COMMAND");
    layout->label("Positionals", "arguments");
    layout->label("REQUIRED", "(needed)");
    app.formatter(layout);
    auto command = [&app](const char* name, const char* description) {
        CLI::App* sub = app.add_subcommand(name, description)->group("commands");
        sub->get_option("--help")->group("options");
        return sub;
    };

    // --code and --version are left to the image's own checks (status 1).
    ImagePlan plan;
    std::string out, payload;
    CLI::App* make = command("make",
                             "write an image to --out FILE, sized by --size or --payload\n"
                             "(numbers: decimal, 0x hexadecimal or 0 octal)");
    make->add_option("--code", plan.productCode, "product code, 1 to 8 characters")->type_name("CODE");
    make->add_option("--version", plan.version, "version, at most 35 characters")->type_name("VERSION");
    make->add_option("--size", plan.totalSize, "whole image, at least 128, with pseudo-random payload")
        ->type_name("BYTES")
        ->transform(kNumber);
    CLI::Option* fromFile =
        make->add_option("--payload", payload, "the payload is FILE's bytes instead")->type_name("FILE");
    make->add_option("--seed", plan.seed, "the pseudo-random payload's seed (default 0x5EED1234)")
        ->type_name("N")
        ->transform(kNumber);
    CLI::Option* length = make->add_option("--length", plan.length, "write N as the length at offset 88")
                              ->type_name("N")
                              ->transform(kNumber);
    bool noMarker = false;
    make->add_flag("--no-marker", noMarker, "leave out the fIrMwArE marker");
    make->add_option("--out", out, "the image file to write")->type_name("FILE")->required();

    std::string path;
    CLI::App* info = command("info", "print what FILE holds");
    info->add_option("FILE", path, "the image")->type_name("")->required();
    CLI::App* check = command("check", "exit 0 when the programs could embed FILE, else say why (1)");
    check->add_option("FILE", path, "the image")->type_name("")->required();

    try {
        app.parse(argc, argv);
        if (make->parsed() && !fromFile->count() && plan.totalSize == 0)
            throw CLI::RequiredError("--size or --payload");
    } catch (const CLI::CallForAllHelp&) {
        std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& mistake) {
        std::fprintf(stderr, "orbimage: %s\n%s", mistake.what(), app.help("", CLI::AppFormatMode::All).c_str());
        return 2;
    }
    if (make->parsed()) {
        plan.lengthOverride = length->count() > 0;
        plan.marker = !noMarker;
        return makeImage(plan, out.c_str(), fromFile->count() ? payload.c_str() : nullptr);
    }
    if (info->parsed()) return infoImage(path.c_str());
    std::vector<uint8_t> image;
    ImageFacts facts;
    return loadFacts(path.c_str(), &image, &facts) ? 0 : 1;
}
