// What the listener reads from any datagram: read requests with their
// options, and ERROR packets. Nothing is read past the datagram (the
// sanitizers see to that), and what was parsed lies inside it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "net/tftp/tftp_packets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kTftpPacketSize) return 0;
    // A copy of exactly the datagram's size, so a read past it is caught.
    std::vector<uint8_t> datagram(data, data + size);
    const uint8_t* begin = datagram.data();
    const int length = static_cast<int>(size);

    TftpReadRequest request;
    if (tftpParseReadRequest(begin, length, &request)) {
        const char* end = reinterpret_cast<const char*>(begin + size);
        fuzzCheck(request.name > reinterpret_cast<const char*>(begin) && request.name < end);
        fuzzCheck(request.mode > request.name && request.mode < end);
        fuzzCheck(std::memchr(request.mode, 0, static_cast<size_t>(end - request.mode)) != nullptr);
        fuzzCheck(request.optionCount >= 0 && request.optionCount <= length / 3);
    }
    TftpErrorReport error;
    if (tftpParseError(begin, length, &error)) fuzzCheckTerminated(error.text, sizeof error.text);
    return 0;
}
