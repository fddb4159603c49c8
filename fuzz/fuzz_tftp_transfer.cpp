// A transfer fed sequences of datagrams from the device, a stranger and the
// device on a new port: every packet it sends is well formed, DATA only
// carries the image's own bytes, and the counters stay inside the image.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "net/tftp/tftp_transfer.h"

namespace {

const uint32_t kDevice = 0x7F000002;
const uint32_t kStranger = 0x7F000003;
const char kName[] = "/orb1a2b.bi1";

struct Sink {
    const TftpTransfer* transfer;
    int sent;
};

void check(void* context, const uint8_t* packet, int length, uint32_t address, uint16_t) {
    Sink* sink = static_cast<Sink*>(context);
    ++sink->sent;
    fuzzCheck(length >= 4 && length <= kTftpPacketSize);
    fuzzCheck(address == kDevice || address == kStranger);
    uint16_t opcode = tftpGet16(packet);
    fuzzCheck(opcode == kTftpData || opcode == kTftpOptionAck || opcode == kTftpError);
    if (opcode == kTftpData) {
        const TftpTransfer* t = sink->transfer;
        fuzzCheck(address == kDevice && length - 4 <= static_cast<int>(kTftpBlockSize));
        size_t offset = static_cast<size_t>(t->nextBlock - 1) * kTftpBlockSize;
        fuzzCheck(offset + static_cast<size_t>(length - 4) <= t->imageSize);
        fuzzCheck(std::memcmp(packet + 4, t->imageData + offset, static_cast<size_t>(length - 4)) == 0);
    }
}

bool isName(void*, const char* name) { return std::strcmp(name, kName) == 0; }

}  // namespace

// Input: an image size byte, then datagrams as [sender byte][length byte][bytes].
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::vector<uint8_t> image(static_cast<size_t>(data[0]) * 37 + 5);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
    TftpTransfer t;
    tftpPrepareTransfer(&t, kInvalidSocket, 0, 0x7F000001, TftpRequest{kDevice, 1000, (data[0] & 1) != 0},
                        image.data(), static_cast<uint32_t>(image.size()));
    Sink sink{&t, 0};
    TftpWire wire{&sink, check};
    tftpBeginTransfer(&t, wire);
    uint32_t now = 0;
    for (size_t at = 1; at + 2 <= size;) {
        uint8_t sender = data[at];
        size_t length = data[at + 1];
        at += 2;
        if (at + length > size) break;
        std::vector<uint8_t> datagram(data + at, data + at + length);
        at += length;
        uint32_t from = sender & 1 ? kStranger : kDevice;
        uint16_t port = sender & 2 ? static_cast<uint16_t>(2000 + (sender >> 2)) : t.requesterPort;
        now += sender;
        TftpEvent event = tftpTakeDatagram(&t, datagram.data(), static_cast<int>(datagram.size()), from, port, now,
                                           isName, nullptr, wire);
        fuzzCheck(t.bytesAcknowledged <= t.imageSize && t.nextBlock <= t.blockCount + 1);
        if (event == TftpEvent::Completed) fuzzCheck(t.bytesAcknowledged == t.imageSize);
        if (event == TftpEvent::DeviceError) fuzzCheckTerminated(t.deviceError.text, sizeof t.deviceError.text);
        if (event == TftpEvent::Completed || event == TftpEvent::DeviceError) break;
        if (sender & 0x80) tftpResend(&t, wire);
    }
    return 0;
}
