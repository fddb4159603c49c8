#include "tools/orbsim/sim_recovery_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "net/address_utils.h"
#include "net/recovery/recovery_discovery.h"
#include "tools/orbsim/sim_log.h"
#include "tools/orbsim/sim_upgrade.h"

namespace {

const size_t kTextField = 20;

std::string boundedText(const uint8_t* bytes, size_t width) {
    size_t length = 0;
    while (length < width && bytes[length]) ++length;
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

// Text of at most 19 characters, the rest NULs.
void putText(uint8_t* field, const std::string& text) {
    std::memset(field, 0, kTextField);
    std::memcpy(field, text.data(), text.size() < kTextField - 1 ? text.size() : kTextField - 1);
}

int openSocket(uint32_t anyOrOwn, uint16_t port, std::string* problem) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        *problem = std::strerror(errno);
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local;
    makeSockaddr(anyOrOwn, port, &local);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        *problem = std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

void handleDatagram(SimState* state, int sender, const uint8_t* bytes, size_t length, const sockaddr_in& from,
                    unsigned* fetchesIgnored) {
    const SimOptions& o = state->options;
    uint32_t fromAddress = 0;
    uint16_t fromPort = 0;
    readSockaddr(from, &fromAddress, &fromPort);
    RecoveryCommand command;
    if (!readRecoveryCommand(bytes, length, &command)) {
        simLog("recovery: %zu-byte datagram from %s ignored", length, simDotted(fromAddress).c_str());
        return;
    }
    if (command.serial != o.serialNumber) {
        simLog("recovery: command %u for serial %s ignored", command.command, simEscape(command.serial).c_str());
        return;
    }
    if (command.command != 0 && command.command != 2) {
        simLog("recovery: unknown command %u ignored", command.command);
        return;
    }
    if (state->upgrading) {
        simLog("recovery: command %u while fetching, ignored", command.command);
        return;
    }
    if (command.command == 2 && *fetchesIgnored < o.ignoreFetches) {
        ++*fetchesIgnored;
        simLog("recovery: fetch %u of %u for serial %s ignored (--ignore-fetches): %s from port %u", *fetchesIgnored,
               o.ignoreFetches, simEscape(command.serial).c_str(), simEscape(command.fileName).c_str(),
               command.tftpPort);
        return;
    }
    std::vector<uint8_t> answer = makeRecoveryAnswer(o, currentVersion(state), o.answerSize);
    sockaddr_in to;
    makeSockaddr(fromAddress, kRecoveryAnswerPort, &to);
    for (int copy = 0; copy < (o.answerTwice ? 2 : 1); ++copy) {
        if (copy) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ssize_t sent =
            sendto(sender, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        simLog("recovery: %s for serial %s from %s -> answered with %zd bytes to port %u%s",
               command.command == 0 ? "search" : "fetch", simEscape(command.serial).c_str(),
               simDotted(fromAddress).c_str(), sent, kRecoveryAnswerPort, copy ? " (again)" : "");
    }
    if (command.command == 2) {
        simLog("recovery: fetching %s from port %u through %s", simEscape(command.fileName).c_str(), command.tftpPort,
               simDotted(kRecoveryGroup).c_str());
        startUpgrade(state, UpgradeSource{kRecoveryGroup, command.tftpPort, command.fileName, true});
    }
}

}  // namespace

bool readRecoveryCommand(const uint8_t* bytes, size_t length, RecoveryCommand* command) {
    if (length != kRecoveryRequestSize || std::memcmp(bytes + 4, "RECM", 4) != 0) return false;
    command->command = bytes[0];
    command->serial = boundedText(bytes + 8, kTextField);
    command->tftpPort = static_cast<uint16_t>(bytes[28] << 8 | bytes[29]);
    command->fileName = boundedText(bytes + 32, kRecoveryRequestSize - 32);
    return true;
}

std::vector<uint8_t> makeRecoveryAnswer(const SimOptions& o, const std::string& softwareVersion, size_t size) {
    std::vector<uint8_t> answer(size > kRecoveryAnswerSize ? size : kRecoveryAnswerSize, 0);
    answer[0] = 1;
    std::memcpy(&answer[4], "RECM", 4);
    putText(&answer[8], o.serialNumber);
    putText(&answer[28], o.productName);
    std::memcpy(&answer[48], o.macBytes, 6);
    putText(&answer[54], softwareVersion);
    putText(&answer[74], o.hardwareVersion);
    answer[94] = static_cast<uint8_t>(o.address >> 24);
    answer[95] = static_cast<uint8_t>(o.address >> 16);
    answer[96] = static_cast<uint8_t>(o.address >> 8);
    answer[97] = static_cast<uint8_t>(o.address);
    answer.resize(size);
    return answer;
}

void runRecoveryResponder(SimState* state) {
    simLogSetPrefix(state->logPrefix);
    const SimOptions& o = state->options;
    std::string problem;
    // Requests come to the group; answers leave from our own address.
    int listener = openSocket(0, kRecoveryRequestPort, &problem);
    int sender = listener >= 0 ? openSocket(o.address, 0, &problem) : -1;
    if (listener >= 0 && sender >= 0) {
        ip_mreq membership;
        membership.imr_multiaddr.s_addr = htonl(kRecoveryGroup);
        membership.imr_interface.s_addr = htonl(o.address);
        if (setsockopt(listener, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0)
            problem = std::string("joining the group: ") + std::strerror(errno);
    }
    if (listener < 0 || sender < 0 || !problem.empty()) {
        simLog("recovery: cannot listen on %s:%u: %s", simDotted(kRecoveryGroup).c_str(), kRecoveryRequestPort,
               problem.c_str());
        if (listener >= 0) close(listener);
        if (sender >= 0) close(sender);
        armExit(state, 0, 2);
        return;
    }
    simLog("recovery mode: listening on %s:%u for serial %s", simDotted(kRecoveryGroup).c_str(), kRecoveryRequestPort,
           simEscape(o.serialNumber).c_str());
    unsigned fetchesIgnored = 0;
    uint8_t datagram[1024];
    while (!state->stop) {
        pollfd waiter{listener, POLLIN, 0};
        if (poll(&waiter, 1, 50) <= 0) continue;
        sockaddr_in from;
        socklen_t fromSize = sizeof from;
        ssize_t got = recvfrom(listener, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) continue;
        // A recovered device no longer listens.
        if (!state->inRecovery) continue;
        handleDatagram(state, sender, datagram, static_cast<size_t>(got), from, &fetchesIgnored);
    }
    close(listener);
    close(sender);
}
