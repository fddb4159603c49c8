#include "tests/tftp/test_client.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TestSocket openTestSocket(uint32_t address, uint16_t port) {
    TestSocket s;
    s.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(s.fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    local.sin_port = htons(port);
    if (::bind(s.fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(s.fd);
        s.fd = -1;
        return s;
    }
    socklen_t length = sizeof local;
    ::getsockname(s.fd, reinterpret_cast<sockaddr*>(&local), &length);
    s.port = ntohs(local.sin_port);
    return s;
}

void closeTestSocket(TestSocket& s) {
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
}

bool joinTestGroup(const TestSocket& s, uint32_t group, uint32_t interfaceAddress) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface.s_addr = htonl(interfaceAddress);
    // Sends to the group leave from the same interface, with its address as
    // source (on lo the default would be 0.0.0.0).
    in_addr outgoing = request.imr_interface;
    return ::setsockopt(s.fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0 &&
           ::setsockopt(s.fd, IPPROTO_IP, IP_MULTICAST_IF, &outgoing, sizeof outgoing) == 0;
}

void sendTo(const TestSocket& s, const std::vector<uint8_t>& bytes, uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    to.sin_port = htons(port);
    ::sendto(s.fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

bool receiveFrom(const TestSocket& s, Datagram* datagram, int timeoutMs) {
    pollfd p{s.fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return false;
    uint8_t buffer[2048];
    sockaddr_in from{};
    iovec vector{buffer, sizeof buffer};
    alignas(cmsghdr) uint8_t control[256];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got = ::recvmsg(s.fd, &message, 0);
    if (got < 0) return false;
    datagram->bytes.assign(buffer, buffer + got);
    datagram->from = ntohl(from.sin_addr.s_addr);
    datagram->fromPort = ntohs(from.sin_port);
    datagram->to = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            datagram->to = ntohl(info.ipi_addr.s_addr);
        }
    }
    return true;
}

static void put16(std::vector<uint8_t>& bytes, unsigned value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value));
}

static void putText(std::vector<uint8_t>& bytes, const char* text) {
    bytes.insert(bytes.end(), text, text + std::strlen(text) + 1);
}

std::vector<uint8_t> readRequest(const char* name, bool withOptions) {
    std::vector<uint8_t> bytes;
    put16(bytes, 1);
    putText(bytes, name);
    putText(bytes, "octet");
    if (withOptions) {
        putText(bytes, "tsize");
        putText(bytes, "0");
    }
    return bytes;
}

std::vector<uint8_t> ackPacket(unsigned block) {
    std::vector<uint8_t> bytes;
    put16(bytes, 4);
    put16(bytes, block & 0xFFFF);
    return bytes;
}

std::vector<uint8_t> errorPacket(unsigned code, const char* text) {
    std::vector<uint8_t> bytes;
    put16(bytes, 5);
    put16(bytes, code);
    putText(bytes, text);
    return bytes;
}

uint16_t opcodeOf(const Datagram& d) {
    return d.bytes.size() < 2 ? 0 : static_cast<uint16_t>(d.bytes[0] << 8 | d.bytes[1]);
}

uint16_t blockOf(const Datagram& d) {
    return d.bytes.size() < 4 ? 0 : static_cast<uint16_t>(d.bytes[2] << 8 | d.bytes[3]);
}

FetchResult fetchFile(const TestSocket& s, const FetchOptions& options) {
    FetchResult result;
    if (options.sendRequest) sendTo(s, readRequest(options.name, options.requestOptions), options.server, options.serverPort);
    uint16_t expected = 1;  // next block wanted
    bool started = false;
    for (;;) {
        Datagram d;
        if (!receiveFrom(s, &d, options.silenceMs)) {
            result.problem = "silence after " + std::to_string(result.blocks) + " blocks";
            return result;
        }
        if (std::find(result.destinations.begin(), result.destinations.end(), d.to) == result.destinations.end())
            result.destinations.push_back(d.to);
        auto answer = [&](unsigned block) {
            sendTo(s, ackPacket(block), d.from, d.fromPort);
            if (options.ackTwice) sendTo(s, ackPacket(block), d.from, d.fromPort);
        };
        switch (opcodeOf(d)) {
            case 6:
                ++result.optionAcks;
                if (result.optionAck.empty()) result.optionAck = d.bytes;
                if (!started) answer(0);
                break;
            case 3: {
                ++result.dataPackets;
                started = true;
                uint16_t block = blockOf(d);
                if (block != expected) {
                    // A repeat of the block already taken: acknowledge again.
                    if (block == static_cast<uint16_t>(expected - 1)) answer(block);
                    break;
                }
                size_t length = d.bytes.size() - 4;
                result.bytes.insert(result.bytes.end(), d.bytes.begin() + 4, d.bytes.end());
                ++result.blocks;
                ++expected;
                if (length < 512) {
                    result.lastLength = length;
                    if (options.ackLastBlock) answer(block);
                    result.complete = true;
                    return result;
                }
                answer(block);
                break;
            }
            default: result.problem = "unexpected opcode " + std::to_string(opcodeOf(d)); return result;
        }
    }
}
