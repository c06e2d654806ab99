#include "core/platform/icmp.h"

#include "core/platform/files.h"
#include "core/platform/handle.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#ifdef _WIN32
// winsock2.h before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>
// The ICMP declarations use the IP helper's types.
#include <icmpapi.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace sw::platform {

namespace {

using Status = EchoResult::Status;

EchoResult failed(Status status, std::string reason) {
    EchoResult result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

EchoResult answered(std::size_t size) {
    EchoResult result;
    result.status = Status::Answered;
    result.size = size;
    return result;
}

#ifdef _WIN32
constexpr std::size_t kIcmpHeaderSize = 8;
// The reply buffer also holds an I/O status block of two pointers.
constexpr std::size_t kStatusBlockRoom = 2 * sizeof(void*);

struct IcmpTraits {
    using Native = HANDLE;
    static Native invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(Native native) { return native != INVALID_HANDLE_VALUE; }
    static bool close(Native native) { return IcmpCloseHandle(native) != 0; }
};

} // namespace

// The system's echo service: it matches the reply to the request itself and needs no privilege.
EchoResult sendEcho(std::uint32_t address, std::string_view data, std::chrono::milliseconds timeout) {
    // The address in network byte order, as the echo functions take it.
    const std::array<std::uint8_t, 4> bytes{
        static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
        static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
    IPAddr target = 0;
    std::memcpy(&target, bytes.data(), sizeof target);
    const UniqueHandle<IcmpTraits> icmp(IcmpCreateFile());
    if (!icmp.valid()) {
        return failed(Status::NotAllowed, windowsReason(GetLastError()));
    }
    std::vector<char> request(data.begin(), data.end());
    // Room for the reply, its data and an error report, as the function asks.
    std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + data.size() + 8 + kStatusBlockRoom);
    const DWORD replies = IcmpSendEcho(icmp.get(), target, request.data(), static_cast<WORD>(request.size()),
                                       nullptr, reply.data(), static_cast<DWORD>(reply.size()),
                                       static_cast<DWORD>(std::max<std::int64_t>(1, timeout.count())));
    if (replies == 0) {
        const DWORD error = GetLastError();
        // Time-outs and unreachable networks are no answer, not a failure of the check.
        if (error == IP_REQ_TIMED_OUT || error == IP_DEST_HOST_UNREACHABLE ||
            error == IP_DEST_NET_UNREACHABLE || error == IP_DEST_UNREACHABLE ||
            error == IP_TTL_EXPIRED_TRANSIT || error == IP_GENERAL_FAILURE) {
            return {};
        }
        return failed(Status::NotSent, windowsReason(error));
    }
    ICMP_ECHO_REPLY answer{};
    std::memcpy(&answer, reply.data(), sizeof answer);
    if (answer.Status != IP_SUCCESS || answer.Address != target) {
        return {};
    }
    return answered(kIcmpHeaderSize + answer.DataSize);
}

#else

constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kReceiveBuffer = kIcmpHeaderSize + kMaxEchoData;

std::atomic<std::uint16_t> g_sequence{0};

std::uint16_t checksum(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    }
    if (size % 2 != 0) {
        sum += static_cast<std::uint32_t>(bytes[size - 1] << 8);
    }
    while ((sum >> 16) != 0) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

} // namespace

// The datagram socket needs no privilege where the system's ping group range admits the user; the raw
// socket needs the network capability.
EchoResult sendEcho(std::uint32_t address, std::string_view data, std::chrono::milliseconds timeout) {
    in_addr target{};
    target.s_addr = htonl(address);
    bool datagram = true;
    FileHandle socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP));
    if (!socket.valid()) {
        const int datagramError = errno;
        datagram = false;
        socket.reset(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
        if (!socket.valid()) {
            EchoResult result = failed(Status::NoSocket, systemReason(datagramError));
            result.rawReason = systemReason(errno);
            return result;
        }
    }
    // A datagram socket gets its identifier from the system and sees only its own replies; on a raw
    // socket every ICMP message arrives, so ours carries a number of its own.
    const auto identifier = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    const std::uint16_t sequence = g_sequence.fetch_add(1);

    std::vector<std::uint8_t> packet(kIcmpHeaderSize + data.size());
    packet[0] = kEchoRequest;
    packet[4] = static_cast<std::uint8_t>(identifier >> 8);
    packet[5] = static_cast<std::uint8_t>(identifier & 0xFF);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence & 0xFF);
    std::copy(data.begin(), data.end(), packet.begin() + kIcmpHeaderSize);
    const std::uint16_t sum = checksum(packet.data(), packet.size());
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum & 0xFF);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    if (::sendto(socket.get(), packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to) < 0) {
        return failed(Status::NotSent, systemReason(errno));
    }

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<std::uint8_t, kReceiveBuffer> buffer{};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return {};
        }
        pollfd waiting{socket.get(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return failed(Status::WaitFailed, systemReason(errno));
        }
        if (ready <= 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t got = ::recvfrom(socket.get(), buffer.data(), buffer.size(), 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return failed(Status::ReplyUnreadable, systemReason(errno));
        }
        std::size_t offset = 0;
        const auto size = static_cast<std::size_t>(got);
        // Raw sockets, and datagram sockets on some systems, hand over the IP header too.
        if (size > 0 && (buffer[0] >> 4) == 4) {
            offset = static_cast<std::size_t>(buffer[0] & 0x0F) * 4;
        }
        if (size < offset + kIcmpHeaderSize || from.sin_addr.s_addr != target.s_addr) {
            continue;
        }
        const std::uint8_t* icmp = buffer.data() + offset;
        const bool ours = icmp[0] == kEchoReply && (icmp[6] << 8 | icmp[7]) == sequence &&
                          (datagram || (icmp[4] << 8 | icmp[5]) == identifier);
        if (ours) {
            return answered(size - offset);
        }
    }
}

#endif

} // namespace sw::platform
