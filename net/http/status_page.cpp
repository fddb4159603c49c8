#include "net/http/status_page.h"

#include <cstring>

#include "net/http/byte_search.h"

char* extractPageField(const char* page, size_t pageLength, const char* label, char* field, size_t fieldSize,
                       size_t limit) {
    if (fieldSize == 0) return nullptr;
    size_t at = findBytes(page, pageLength, label);
    if (at == kNotFound) return nullptr;
    size_t close = findByte(page + at, pageLength - at, '>');
    if (close == kNotFound) return nullptr;
    size_t start = at + close + 1;
    // Tags that follow at once (the value's own cell, a font or bold tag).
    while (start < pageLength && page[start] == '<') {
        close = findByte(page + start, pageLength - start, '>');
        if (close == kNotFound) return nullptr;  // a tag left open: no value
        start += close + 1;
    }
    if (limit > fieldSize - 1) limit = fieldSize - 1;
    size_t end = start;
    while (end < pageLength && end - start < limit && page[end] != '<' && page[end] != '\0') ++end;
    std::memcpy(field, page + start, end - start);
    field[end - start] = '\0';
    return field;
}

char* extractPageField(const char* page, const char* label, char* field, size_t fieldSize, size_t limit) {
    return extractPageField(page, std::strlen(page), label, field, fieldSize, limit);
}

unsigned extractDeviceFacts(const char* page, size_t pageLength, DeviceFacts* facts) {
    struct Fact {
        const char* label;
        char* field;
        unsigned bit;
    };
    const Fact kFacts[] = {
        {"Product Name:", facts->productName, kFactProduct},
        {"MAC Address:", facts->macAddress, kFactMac},
        {"Software Version:", facts->softwareVersion, kFactSoftware},
        {"Hardware Version:", facts->hardwareVersion, kFactHardware},
        {"Serial Number:", facts->serialNumber, kFactSerial},
    };
    static_assert(sizeof facts->macAddress == sizeof facts->productName &&
                      sizeof facts->softwareVersion == sizeof facts->productName &&
                      sizeof facts->hardwareVersion == sizeof facts->productName &&
                      sizeof facts->serialNumber == sizeof facts->productName,
                  "the facts are fields of one size");
    unsigned found = 0;
    for (const Fact& fact : kFacts)
        if (extractPageField(page, pageLength, fact.label, fact.field, sizeof facts->productName, kPageFieldLimit))
            found |= fact.bit;
    return found;
}

unsigned extractDeviceFacts(const char* page, DeviceFacts* facts) {
    return extractDeviceFacts(page, std::strlen(page), facts);
}
