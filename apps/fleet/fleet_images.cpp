#include <cstdio>
#include <filesystem>
#include <fstream>

#include "apps/fleet/fleet_device.h"
#include "base/firmware_image.h"
#include "core/run_outcome.h"
#include "platform/platform_shared_files.h"

PinnedImages::~PinnedImages() {
    if (folder.empty()) return;
    std::error_code error;
    // A read-only file is one Windows will not delete.
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(folder, error);
}

const std::string& PinnedImages::pinOf(const std::string& path) const { return pins.at(path); }

bool pinImages(const ProgramProfile& profile, RunRequest& request, PinnedImages* pinned, int* exitStatus) {
    if (!request.imageError.empty()) {
        std::fprintf(stderr, "%s: %s\n", profile.programName, request.imageError.c_str());
        *exitStatus = exitCodeOf(RunOutcome::ImageDamaged);
        return false;
    }
    std::vector<RequestImage*> images;
    for (RequestImage& image : request.images) images.push_back(&image);
    if (request.transitionImage) images.push_back(&*request.transitionImage);
    for (RequestImage* given : images) {
        const std::string& path = given->file;
        FirmwareImage& image = given->image;
        if (pinned->pins.count(path)) continue;
        char error[1024];
        // The bytes just checked, where only this user can reach them: what
        // happens to the file from now on reaches no device of this run.
        if (pinned->folder.empty() &&
            !privateFolderCreate((std::string(profile.programName) + "-images").c_str(), &pinned->folder, error,
                                 sizeof error))
            pinned->folder.clear();
        const std::string copy = pinned->folder + "/" + std::to_string(pinned->pins.size() + 1) + ".img";
        bool kept = !pinned->folder.empty();
        if (kept) {
            std::ofstream file(copy, std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(image.data), image.size);
            file.close();
            std::error_code denied;
            std::filesystem::permissions(copy, std::filesystem::perms::owner_read, denied);
            kept = file.good() && !denied;
        }
        // The children serve the copy; the parent keeps none of the bytes.
        delete[] image.data;
        image.data = nullptr;
        if (!kept) {
            std::fprintf(stderr, "%s: %s: cannot keep a private copy: %s\n", profile.programName, path.c_str(),
                         pinned->folder.empty() ? error : ("cannot write " + copy).c_str());
            *exitStatus = exitCodeOf(RunOutcome::ImageCopyFailed);
            return false;
        }
        pinned->pins[path] = std::string(image.sha256) + ":" + copy;
    }
    return true;
}
