// The response reader on arbitrary received bytes in arbitrary splits: the
// same answer whatever the split, cut at the capacity, never read or
// written beyond the buffer.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "net/http/http_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte seeds the split sizes, the second sets the capacity.
    if (size < 2 || size > 0x1FFFF) return 0;
    uint32_t seed = data[0];
    const size_t capacity = 16 + static_cast<size_t>(data[1]) * 16;
    data += 2;
    size -= 2;

    // All at once, in a buffer of exactly the bytes received.
    std::vector<char> whole(data, data + size);
    ResponseReader once;
    const size_t wholeCount = takeResponseBytes(whole.data(), 0, size, &once);
    fuzzCheck(wholeCount <= size);

    // In pieces, as receives bring them, into exactly capacity bytes.
    std::vector<char> buffer(capacity);
    ResponseReader pieces;
    size_t count = 0;
    for (size_t at = 0; at < size && !pieces.complete && count < capacity;) {
        seed = seed * 1103515245u + 12345u;
        const size_t take = std::min({static_cast<size_t>(1 + (seed >> 16) % 97), size - at, capacity - count});
        std::memcpy(buffer.data() + count, data + at, take);
        at += take;
        const size_t next = takeResponseBytes(buffer.data(), count, count + take, &pieces);
        fuzzCheck(next <= count + take);
        count = next;
    }

    // What was kept is what the whole reading kept, cut at the capacity.
    fuzzCheck(count <= wholeCount && (count == 0 || std::memcmp(buffer.data(), whole.data(), count) == 0));
    if (count < capacity) fuzzCheck(count == wholeCount && pieces.complete == once.complete);
    if (pieces.framing == BodyFraming::Length && pieces.complete)
        fuzzCheck(count == pieces.headerEnd + pieces.contentLength);
    parseStatusCode(buffer.data(), count);
    return 0;
}
