// A TFTP client for the tests, on plain POSIX sockets, that can also
// misbehave on purpose. Addresses and ports in host order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const uint32_t kLoopback = 0x7F000001;

struct Datagram {
    std::vector<uint8_t> bytes;
    uint32_t from = 0;
    uint16_t fromPort = 0;
    uint32_t to = 0;  // destination the packet was addressed to
};

struct TestSocket {
    int fd = -1;
    uint16_t port = 0;
};

// Bound to address:port (0: any free port).
TestSocket openTestSocket(uint32_t address = kLoopback, uint16_t port = 0);
void closeTestSocket(TestSocket& s);
bool joinTestGroup(const TestSocket& s, uint32_t group, uint32_t interfaceAddress);
void sendTo(const TestSocket& s, const std::vector<uint8_t>& bytes, uint32_t address, uint16_t port);
// False when nothing came within timeoutMs.
bool receiveFrom(const TestSocket& s, Datagram* datagram, int timeoutMs);

std::vector<uint8_t> readRequest(const char* name, bool withOptions = true);
std::vector<uint8_t> ackPacket(unsigned block);
std::vector<uint8_t> errorPacket(unsigned code, const char* text);
uint16_t opcodeOf(const Datagram& d);
uint16_t blockOf(const Datagram& d);

struct FetchOptions {
    bool sendRequest = false;  // the transfer may already know the requester
    bool requestOptions = true;  // the request asks for tsize
    const char* name = "/orb1.bi1";
    uint32_t server = kLoopback;
    uint16_t serverPort = 0;  // where the request goes
    bool ackTwice = false;    // every ACK sent twice
    bool ackLastBlock = true;
    int silenceMs = 3000;  // give up after this long without a packet
};

struct FetchResult {
    bool complete = false;
    std::string problem;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> optionAck;  // the first OACK as it came
    int optionAcks = 0;
    int dataPackets = 0;                 // every DATA packet, repeats included
    unsigned blocks = 0;                 // distinct blocks taken
    size_t lastLength = 0;               // payload of the final block
    std::vector<uint32_t> destinations;  // distinct destination addresses seen
};

// Reads the whole file: ACK 0 after the OACK, then each block in order
// (numbers rolling over from 65535 to 0), ending at the first short block.
FetchResult fetchFile(const TestSocket& s, const FetchOptions& options);
