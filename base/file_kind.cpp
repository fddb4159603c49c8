#include "base/file_kind.h"

#include <filesystem>

const char* notRegularFile(const char* path) {
    std::error_code error;
    switch (std::filesystem::status(path, error).type()) {
        case std::filesystem::file_type::regular:
        case std::filesystem::file_type::not_found:
        case std::filesystem::file_type::none: return nullptr;
        case std::filesystem::file_type::directory: return "a directory";
        case std::filesystem::file_type::fifo: return "a FIFO";
        case std::filesystem::file_type::socket: return "a socket";
        case std::filesystem::file_type::block:
        case std::filesystem::file_type::character: return "a device";
        default: return "not a regular file";
    }
}
