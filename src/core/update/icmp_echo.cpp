#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/common/ip_address.h"
#include "core/common/numbers.h"
#include "core/update/echo_service.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
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

namespace sw {

namespace {

#ifdef _WIN32

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kMaxEchoData = 1016;
// The reply buffer also holds an I/O status block of two pointers.
constexpr std::size_t kStatusBlockRoom = 2 * sizeof(void*);

// The address in network byte order, as the echo functions take it.
IPAddr hostAddress(const std::string& host) {
    std::array<std::string, 4> parts;
    if (!checkIpAddress(host, parts)) {
        throw ConfigError("\"" + host + "\" is not an IPv4 address of four numbers from 0 to 255.");
    }
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(parseInteger(parts[i]).value_or(0));
    }
    IPAddr address = 0;
    std::memcpy(&address, bytes.data(), sizeof address);
    return address;
}

class IcmpHandle {
public:
    IcmpHandle() : m_handle(IcmpCreateFile()) {}
    ~IcmpHandle() {
        if (m_handle != INVALID_HANDLE_VALUE) {
            IcmpCloseHandle(m_handle);
        }
    }
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// The system's echo service: it matches the reply to the request itself and needs no privilege.
class IcmpEchoService : public EchoService {
public:
    std::size_t echo(const std::string& host, std::string_view data,
                     std::chrono::milliseconds timeout) override {
        const IPAddr target = hostAddress(host);
        if (data.size() > kMaxEchoData) {
            throw ConfigError("The echo data for " + host + " is longer than an echo request carries here.");
        }
        const IcmpHandle icmp;
        if (icmp.get() == INVALID_HANDLE_VALUE) {
            throw ConfigError(ErrorCode::EchoNotAllowed, {windowsReason(GetLastError())});
        }
        std::vector<char> request(data.begin(), data.end());
        // Room for the reply, its data and an error report, as the function asks.
        std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + data.size() + 8 + kStatusBlockRoom);
        const DWORD replies = IcmpSendEcho(
            icmp.get(), target, request.data(), static_cast<WORD>(request.size()), nullptr, reply.data(),
            static_cast<DWORD>(reply.size()), static_cast<DWORD>(std::max<std::int64_t>(1, timeout.count())));
        if (replies == 0) {
            const DWORD error = GetLastError();
            // Time-outs and unreachable networks are no answer, not a failure of the check.
            if (error == IP_REQ_TIMED_OUT || error == IP_DEST_HOST_UNREACHABLE ||
                error == IP_DEST_NET_UNREACHABLE || error == IP_DEST_UNREACHABLE ||
                error == IP_TTL_EXPIRED_TRANSIT || error == IP_GENERAL_FAILURE) {
                return 0;
            }
            throw ConfigError(ErrorCode::EchoNotSent, {host, windowsReason(error)});
        }
        ICMP_ECHO_REPLY answer{};
        std::memcpy(&answer, reply.data(), sizeof answer);
        if (answer.Status != IP_SUCCESS || answer.Address != target) {
            return 0;
        }
        return kIcmpHeaderSize + answer.DataSize;
    }
};

#else

constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kReceiveBuffer = 1024;

std::atomic<std::uint16_t> g_sequence{0};

class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

in_addr hostAddress(const std::string& text) {
    in_addr result{};
    result.s_addr = htonl(ipv4Address(text));
    return result;
}

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

// The datagram socket needs no privilege where the system's ping group range admits the user; the raw
// socket needs the network capability.
int openIcmpSocket(bool& datagram) {
    int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
    if (fd >= 0) {
        datagram = true;
        return fd;
    }
    const int datagramError = errno;
    fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd >= 0) {
        datagram = false;
        return fd;
    }
    throw ConfigError("No ICMP socket may be opened to check the device address (datagram socket: " +
                      systemReason(datagramError) + "; raw socket: " + systemReason(errno) +
                      "). Allow the user's group in net.ipv4.ping_group_range, or give the program the "
                      "CAP_NET_RAW capability.");
}

class IcmpEchoService : public EchoService {
public:
    std::size_t echo(const std::string& host, std::string_view data,
                     std::chrono::milliseconds timeout) override {
        const in_addr target = hostAddress(host);
        if (data.size() > kReceiveBuffer - kIcmpHeaderSize) {
            throw ConfigError("The echo data for " + host + " is longer than an echo request carries here.");
        }
        bool datagram = false;
        const Socket socket(openIcmpSocket(datagram));
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
        if (::sendto(socket.fd(), packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to) < 0) {
            throw ConfigError(ErrorCode::EchoNotSent, {host, systemReason(errno)});
        }

        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::array<std::uint8_t, kReceiveBuffer> buffer{};
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return 0;
            }
            pollfd waiting{socket.fd(), POLLIN, 0};
            const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) {
                throw ConfigError("Waiting for the echo reply of " + host +
                                  " failed: " + systemReason(errno) + ".");
            }
            if (ready <= 0) {
                continue;
            }
            sockaddr_in from{};
            socklen_t fromSize = sizeof from;
            const ssize_t got = ::recvfrom(socket.fd(), buffer.data(), buffer.size(), 0,
                                           reinterpret_cast<sockaddr*>(&from), &fromSize);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN) {
                    continue;
                }
                throw ConfigError(ErrorCode::EchoReplyUnreadable, {host, systemReason(errno)});
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
                return size - offset;
            }
        }
    }
};

#endif

class SystemTickClock : public TickClock {
public:
    std::uint32_t ticks() override {
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<std::uint32_t>(now.count());
    }
    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

} // namespace

std::unique_ptr<EchoService> makeIcmpEchoService() {
    return std::make_unique<IcmpEchoService>();
}

TickClock& systemTickClock() {
    static SystemTickClock clock;
    return clock;
}

} // namespace sw
