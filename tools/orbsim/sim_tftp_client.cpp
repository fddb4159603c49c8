#include "tools/orbsim/sim_tftp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>

#include "net/address_utils.h"
#include "net/tftp/tftp_packets.h"
#include "tools/orbsim/sim_log.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;
    bool operator==(const Endpoint& other) const { return address == other.address && port == other.port; }
};

struct Session {
    Session(const TftpFetchRequest& r, TftpFetchResult& out) : request(r), result(out) {}
    const TftpFetchRequest& request;
    TftpFetchResult& result;
    int fd = -1;
    Endpoint peer;  // where our next packet goes
    bool peerLocked = false;
    std::vector<uint8_t> lastPacket;
    uint32_t random = 1;
    unsigned long lastAcked = 0;  // absolute block number; 0 is the OACK's
    bool acked0 = false;
};

// A lost datagram is repaired by the resend on silence, so results are not examined.
void sendTo(Session& s, const std::vector<uint8_t>& packet, const Endpoint& to) {
    sockaddr_in address;
    makeSockaddr(to.address, to.port, &address);
    if (!s.request.viaGroup) {
        (void)sendto(s.fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                     sizeof address);
        return;
    }
    // The socket is bound to any address to see the group's data; the server
    // accepts ACKs only from the address that sent the request, so name it.
    iovec part{const_cast<uint8_t*>(packet.data()), packet.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message = {};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info = {};
    info.ipi_spec_dst.s_addr = htonl(s.request.localAddress);
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    (void)sendmsg(s.fd, &message, 0);
}

bool dropByFraction(Session& s) {
    if (s.request.faults.dropFraction <= 0.0) return false;
    // xorshift32: the same seed drops the same ACKs run after run.
    s.random ^= s.random << 13;
    s.random ^= s.random >> 17;
    s.random ^= s.random << 5;
    return s.random < s.request.faults.dropFraction * 4294967296.0;
}

void sendAck(Session& s, unsigned long block, bool firstTime) {
    std::vector<uint8_t> ack(4);
    tftpPut16(kTftpAck, ack.data());
    tftpPut16(static_cast<uint32_t>(block), ack.data() + 2);
    s.lastPacket = ack;
    if (firstTime && s.request.faults.dropAcks.count(block)) {
        simLog("TFTP leaving out ACK %lu", block);
        ++s.result.acksDropped;
        return;
    }
    if (dropByFraction(s)) {
        ++s.result.acksDropped;
        return;
    }
    sendTo(s, ack, s.peer);
    if (s.request.faults.duplicateAcks) sendTo(s, ack, s.peer);
}

void sendError(Session& s, uint16_t code, const char* message) {
    std::vector<uint8_t> packet(4);
    tftpPut16(kTftpError, packet.data());
    tftpPut16(code, packet.data() + 2);
    packet.insert(packet.end(), message, message + std::strlen(message) + 1);
    sendTo(s, packet, s.peer);
}

std::vector<uint8_t> readRequest(const std::string& fileName) {
    std::vector<uint8_t> packet(2);
    tftpPut16(kTftpReadRequest, packet.data());
    const char* fields[] = {fileName.c_str(), "octet", "tsize", "0", "timeout", "5"};
    for (const char* field : fields) packet.insert(packet.end(), field, field + std::strlen(field) + 1);
    return packet;
}

// Reads "name\0value\0" pairs of an OACK.
void readOptions(const uint8_t* packet, int length, TftpFetchResult* result) {
    std::string text(reinterpret_cast<const char*>(packet) + 2, static_cast<size_t>(length - 2));
    size_t at = 0;
    while (at < text.size()) {
        size_t nameEnd = text.find('\0', at);
        if (nameEnd == std::string::npos) break;
        size_t valueEnd = text.find('\0', nameEnd + 1);
        if (valueEnd == std::string::npos) break;
        std::string name = text.substr(at, nameEnd - at);
        std::string value = text.substr(nameEnd + 1, valueEnd - nameEnd - 1);
        if (name == "tsize" && !value.empty() && value.find_first_not_of("0123456789") == std::string::npos) {
            result->hasTsize = true;
            result->tsize = std::stoull(value);
        }
        at = valueEnd + 1;
    }
}

int openSocket(const TftpFetchRequest& request, std::string* failure) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        *failure = "no socket";
        return -1;
    }
    sockaddr_in local;
    makeSockaddr(request.viaGroup ? 0 : request.localAddress, 0, &local);
    bool ok = bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    if (ok && request.viaGroup) {
        // Data comes to the group at our port: join it on our own interface,
        // and send from our own address.
        ip_mreq membership;
        membership.imr_multiaddr.s_addr = htonl(request.serverAddress);
        membership.imr_interface.s_addr = htonl(request.localAddress);
        in_addr outgoing;
        outgoing.s_addr = htonl(request.localAddress);
        unsigned char loop = 1;
        ok = setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0 &&
             setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &outgoing, sizeof outgoing) == 0 &&
             setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) == 0;
    }
    if (!ok) {
        *failure = request.viaGroup ? "cannot bind or join the group" : "cannot bind";
        close(fd);
        return -1;
    }
    return fd;
}

uint16_t boundPort(int fd) {
    sockaddr_in local;
    socklen_t size = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
    return ntohs(local.sin_port);
}

// Transfers under way in this process, so a fleet's log shows how many overlap.
std::atomic<int> gRunning{0};

enum class Ending { Over, Refetch };

// One read request from the session's socket, to its end.
Ending runTransfer(Session& s, const TftpFaults& faults, const std::atomic<bool>& stop) {
    const TftpFetchRequest& request = s.request;
    TftpFetchResult& result = s.result;
    s.peer = Endpoint{request.serverAddress, request.serverPort};
    s.lastPacket = readRequest(request.fileName);
    simLog("TFTP RRQ %s to %s:%u from port %u", simEscape(request.fileName).c_str(),
           simDotted(request.serverAddress).c_str(), request.serverPort, boundPort(s.fd));
    simLog("tftp: transfer start, %d running", ++gRunning);
    ++result.requests;
    sendTo(s, s.lastPacket, s.peer);

    const auto deadline = Clock::now() + std::chrono::seconds(request.deadlineSeconds);
    const auto retry = std::chrono::milliseconds(request.retryMs);
    auto lastHeard = Clock::now();
    unsigned resends = 0;
    unsigned long nextBlock = 1;  // absolute; the wire carries its low 16 bits
    bool stalled = false;
    bool dallying = false;  // done, but the last ACK may need repeating
    Ending ending = Ending::Over;
    uint8_t packet[kTftpPacketSize];

    auto sendErrorInstead = [&](unsigned long block) {
        simLog("tftp: sent ERROR %u \"%s\" instead of ACK %lu", faults.errorCode, simEscape(faults.errorText).c_str(),
               block);
        sendError(s, faults.errorCode, faults.errorText.c_str());
        result.errorSent = faults.errorCode;
        result.failure = "sent ERROR " + std::to_string(faults.errorCode);
    };

    while (true) {
        if (stop) {
            result.failure = "stopped";
            break;
        }
        auto now = Clock::now();
        if (now >= deadline) {
            result.failure = "no end within " + std::to_string(request.deadlineSeconds) + " s";
            break;
        }
        if (now - lastHeard >= retry) {
            if (dallying) break;
            if (resends >= request.retries) {
                result.failure = stalled ? "stalled after block " + std::to_string(faults.stallAfterBlock)
                                         : "no answer from the server";
                break;
            }
            ++resends;
            lastHeard = now;
            if (!stalled) {
                simLog("TFTP silence: sending the last packet again (%u of %u)", resends, request.retries);
                if (s.lastPacket.size() == 4 && tftpGet16(s.lastPacket.data()) == kTftpAck)
                    sendAck(s, s.lastAcked, false);
                else
                    sendTo(s, s.lastPacket, s.peer);
            }
            continue;
        }
        pollfd waiter{s.fd, POLLIN, 0};
        if (poll(&waiter, 1, 50) <= 0) continue;
        sockaddr_in from;
        socklen_t fromSize = sizeof from;
        ssize_t got = recvfrom(s.fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 4) continue;
        int length = static_cast<int>(got);
        Endpoint sender;
        readSockaddr(from, &sender.address, &sender.port);
        if (!s.peerLocked) {
            // The server answers from the port it chose for this transfer.
            if (!request.viaGroup && sender.address != request.serverAddress) continue;
            s.peer = sender;
            s.peerLocked = true;
        } else if (!(sender == s.peer)) {
            simLog("TFTP packet from %s:%u ignored", simDotted(sender.address).c_str(), sender.port);
            continue;
        }
        lastHeard = Clock::now();
        resends = 0;
        if (stalled) continue;

        uint16_t opcode = tftpGet16(packet);
        if (opcode == kTftpError) {
            packet[sizeof packet - 1] = 0;
            if (length < static_cast<int>(sizeof packet)) packet[length] = 0;
            result.failure = "server sent ERROR " + std::to_string(tftpGet16(packet + 2)) + " " +
                             simEscape(reinterpret_cast<const char*>(packet + 4));
            break;
        }
        if (opcode == kTftpOptionAck) {
            if (nextBlock != 1) continue;
            if (!s.acked0) {
                readOptions(packet, length, &result);
                simLog("TFTP OACK, tsize %s", result.hasTsize ? std::to_string(result.tsize).c_str() : "absent");
            }
            if (faults.refuseOptions) {
                simLog("TFTP refusing the options with an ERROR");
                sendError(s, 8, "options refused");
                result.errorSent = 8;
                result.failure = "options refused";
                break;
            }
            if (faults.errorAfterBlock == 0) {
                sendErrorInstead(0);
                break;
            }
            sendAck(s, 0, !s.acked0);
            s.acked0 = true;
            continue;
        }
        if (opcode != kTftpData || length > 4 + static_cast<int>(kTftpBlockSize)) continue;
        uint16_t block = tftpGet16(packet + 2);
        if (block == static_cast<uint16_t>(nextBlock) && !dallying) {
            if (faults.stallAfterBlock >= 0 && nextBlock > static_cast<unsigned long>(faults.stallAfterBlock)) {
                simLog("TFTP stalling: no ACK after block %ld", faults.stallAfterBlock);
                stalled = true;
                continue;
            }
            if (faults.errorAfterBlock > 0 && nextBlock == static_cast<unsigned long>(faults.errorAfterBlock)) {
                sendErrorInstead(nextBlock);
                break;
            }
            result.bytes.insert(result.bytes.end(), packet + 4, packet + length);
            result.blocks = nextBlock;
            s.lastAcked = nextBlock;
            sendAck(s, nextBlock, true);
            if (length < 4 + static_cast<int>(kTftpBlockSize)) {
                result.finished = true;
                dallying = true;
            } else if (faults.refetchAfterBlock > 0 &&
                       nextBlock == static_cast<unsigned long>(faults.refetchAfterBlock)) {
                simLog("tftp: abandoning the transfer after ACK %lu, fetching again from a new port", nextBlock);
                ending = Ending::Refetch;
                break;
            }
            ++nextBlock;
        } else if (nextBlock > 1 && block == static_cast<uint16_t>(nextBlock - 1)) {
            // Our ACK was lost: the server sent the block again.
            sendAck(s, nextBlock - 1, false);
        }
    }
    simLog("tftp: transfer end, %d running", --gRunning);
    return ending;
}

}  // namespace

TftpFetchResult tftpFetch(const TftpFetchRequest& request, const std::atomic<bool>& stop) {
    TftpFetchResult result;
    TftpFaults faults = request.faults;
    int fd = openSocket(request, &result.failure);
    if (fd < 0) return result;
    while (true) {
        Session s(request, result);
        // Scrambled so that small seeds do not start with a run of small numbers.
        s.random = (faults.seed ^ 0x9E3779B9u) * 0x85EBCA6Bu;
        s.random ^= s.random >> 16;
        if (!s.random) s.random = 1;
        s.fd = fd;
        if (runTransfer(s, faults, stop) != Ending::Refetch) break;
        // The new socket is opened before the old one closes, so its port differs.
        int fresh = openSocket(request, &result.failure);
        close(fd);
        fd = fresh;
        if (fd < 0) return result;
        const unsigned requests = result.requests;
        result = TftpFetchResult();
        result.requests = requests;
        faults.refetchAfterBlock = -1;
    }
    close(fd);
    simLog("TFTP %s: %lu blocks, %zu bytes%s%s", result.finished ? "done" : "ended early", result.blocks,
           result.bytes.size(), result.failure.empty() ? "" : ", ", result.failure.c_str());
    if (result.acksDropped) simLog("TFTP left out %lu ACKs", result.acksDropped);
    return result;
}
