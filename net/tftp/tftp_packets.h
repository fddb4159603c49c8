// TFTP wire formats: RFC 1350, with the option acknowledgement of RFC 2347
// and the tsize and timeout options of RFC 2349. Every integer is big-endian.
#pragma once

#include <cstdint>

#include "platform/platform_socket.h"

const int kTftpPacketSize = 1024;  // receive area; also where packets are built
const uint32_t kTftpBlockSize = 512;

const uint16_t kTftpReadRequest = 1;
const uint16_t kTftpWriteRequest = 2;
const uint16_t kTftpData = 3;
const uint16_t kTftpAck = 4;
const uint16_t kTftpError = 5;
const uint16_t kTftpOptionAck = 6;

uint16_t tftpGet16(const uint8_t* bytes);
// Stores the low 16 bits of value, high byte first.
void tftpPut16(uint32_t value, uint8_t* bytes);

// A read request as received: the name and mode point into the datagram.
struct TftpReadRequest {
    const char* name;
    const char* mode;
    int optionCount;  // name and value pairs after the mode
};

// Parses an RRQ datagram. False when it is not one, or its name or mode
// does not end inside the datagram; nothing past length is read.
bool tftpParseReadRequest(const uint8_t* packet, int length, TftpReadRequest* request);

// ERROR codes this server sends (RFC 1350).
const uint16_t kTftpErrorAccessViolation = 2;
const uint16_t kTftpErrorUnknownTransfer = 5;

// An ERROR datagram as received: the code and the text, cut to fit.
struct TftpErrorReport {
    uint16_t code;
    char text[128];
};
bool tftpParseError(const uint8_t* packet, int length, TftpErrorReport* error);

// Build a packet into the kTftpPacketSize area; return its length.
int tftpBuildData(uint8_t* packet, const uint8_t* payload, uint32_t length, uint32_t block);
int tftpBuildOptionAck(uint8_t* packet, uint32_t imageSize);
int tftpBuildError(uint8_t* packet, uint16_t code, const char* text);

// Build and send in one datagram. Send results are not examined: the
// transfer repairs a lost packet by sending it again.
void tftpSendData(OrbSocket s, uint8_t* packet, const uint8_t* payload, uint32_t length, uint32_t block,
                  const sockaddr_in& to);
void tftpSendOptionAck(OrbSocket s, uint8_t* packet, const sockaddr_in& to, uint32_t imageSize);
