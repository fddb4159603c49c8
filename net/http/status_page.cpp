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

void extractDeviceFacts(const char* page, size_t pageLength, DeviceFacts* facts) {
    extractPageField(page, pageLength, "Product Name:", facts->productName, sizeof facts->productName, kPageFieldLimit);
    extractPageField(page, pageLength, "MAC Address:", facts->macAddress, sizeof facts->macAddress, kPageFieldLimit);
    extractPageField(page, pageLength, "Software Version:", facts->softwareVersion, sizeof facts->softwareVersion,
                     kPageFieldLimit);
    extractPageField(page, pageLength, "Hardware Version:", facts->hardwareVersion, sizeof facts->hardwareVersion,
                     kPageFieldLimit);
    extractPageField(page, pageLength, "Serial Number:", facts->serialNumber, sizeof facts->serialNumber,
                     kPageFieldLimit);
}

void extractDeviceFacts(const char* page, DeviceFacts* facts) { extractDeviceFacts(page, std::strlen(page), facts); }
