// The framed message transport: packet elements, the frame cutter, TCP links, UDP datagrams and the manager.
#include "network_manager.h"

#include <SDL_net.h>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <future>
#include <iostream>
#include <iterator>
#include <system_error>
#include <thread>
#include <utility>

#include "utils.h"

uint16_t netTcpPort = 54000;
uint16_t netUdpPorts[2] = {54000, 54001};
std::string netBroadcastAddress = "255.255.255.255";

NetworkManager net;

// ---- Packet elements ----

void NetPacket::writeInt(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<uint8_t>(bits >> shift));
}

void NetPacket::writeByte(uint8_t value) { data.push_back(value); }

void NetPacket::writeString(const std::string& value) {
    writeInt(static_cast<int32_t>(static_cast<uint32_t>(value.size())));
    data.insert(data.end(), value.begin(), value.end());
}

bool NetPacket::readInt(int32_t& value) {
    if (remaining() < 4) return false;
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(data[readPos + i]) << (8 * i);
    readPos += 4;
    value = static_cast<int32_t>(bits);
    return true;
}

bool NetPacket::readByte(uint8_t& value) {
    if (remaining() < 1) return false;
    value = data[readPos++];
    return true;
}

bool NetPacket::readString(std::string& value) {
    int32_t count = 0;
    if (!readInt(count)) return false;
    const auto length = static_cast<uint32_t>(count);
    if (remaining() < length) return false;
    value.assign(data.begin() + static_cast<std::ptrdiff_t>(readPos),
                 data.begin() + static_cast<std::ptrdiff_t>(readPos + length));
    readPos += length;
    return true;
}

// ---- Framing ----

std::vector<uint8_t> framePacket(const NetPacket& packet) {
    const auto length = static_cast<uint32_t>(packet.data.size() + 1);
    std::vector<uint8_t> frame;
    frame.reserve(FRAME_HEADER + length);
    for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(static_cast<uint8_t>(length >> shift));
    frame.push_back(packet.type);
    frame.insert(frame.end(), packet.data.begin(), packet.data.end());
    return frame;
}

namespace {

uint32_t frameLength(const uint8_t* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

// What a buffer left by cutFrames needs next: a chunk when it is empty, else the rest of the header, else the rest
// of the frame under way.
size_t bytesLacking(const std::vector<uint8_t>& buffer) {
    if (buffer.empty()) return RECEIVE_CHUNK;
    if (buffer.size() < FRAME_HEADER) return FRAME_HEADER - buffer.size();
    return FRAME_HEADER + frameLength(buffer.data()) - buffer.size();
}

}  // namespace

bool cutFrames(std::vector<uint8_t>& buffer, std::vector<NetPacket>& out, uint32_t& badLength, uint32_t limit) {
    size_t pos = 0;
    while (buffer.size() - pos >= FRAME_HEADER) {
        const uint8_t* at = buffer.data() + pos;
        const uint32_t length = frameLength(at);
        if (length == 0 || length > limit) {
            badLength = length;
            buffer.clear();
            return false;
        }
        if (buffer.size() - pos - FRAME_HEADER < length) break;
        NetPacket packet;
        packet.type = at[FRAME_HEADER];
        packet.data.assign(at + FRAME_HEADER + 1, at + FRAME_HEADER + length);
        out.push_back(std::move(packet));
        pos += FRAME_HEADER + length;
    }
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    return true;
}

// ---- Links ----

namespace {

// Bytes one system call takes from a socket.
constexpr size_t READ_PIECE = 64u << 10;
// A DNS name is at most this long; a longer text, as a peer may announce, is shown cut.
constexpr size_t MAX_HOST_NAME_BYTES = 253;

sockaddr_in ipv4(uint32_t hostInNetworkOrder, uint16_t portInNetworkOrder) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = hostInNetworkOrder;
    address.sin_port = portInNetworkOrder;
    return address;
}

bool bindTo(int fd, uint16_t port) {
    const sockaddr_in any = ipv4(htonl(INADDR_ANY), htons(port));
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
}

bool setFlag(int fd, int level, int option) {
    const int yes = 1;
    return setsockopt(fd, level, option, &yes, sizeof yes) == 0;
}

using SteadyClock = std::chrono::steady_clock;

// 0 once the socket is connected, else the reason. An address where nothing answers gives up at the deadline, not
// after the system's minutes of retries.
int connectBefore(int fd, const sockaddr_in& peer, SteadyClock::time_point deadline) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) return 0;
    if (errno != EINPROGRESS) return errno;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        pollfd watched{fd, POLLOUT, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(std::max<decltype(left)>(left, 0)));
        if (ready > 0) break;
        if (ready == 0) return ETIMEDOUT;
        if (errno != EINTR) return errno;
    }
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 ? error : errno;
}

// A TCP socket this program owns: no send waits, the bytes a slow peer has not taken yet wait here, within their
// bound, and small turns go out at once rather than gathered.
class TcpLink : public ByteLink {
public:
    explicit TcpLink(int descriptor) : fd(descriptor) { setFlag(fd, IPPROTO_TCP, TCP_NODELAY); }
    ~TcpLink() override { ::close(fd); }
    TcpLink(const TcpLink&) = delete;
    TcpLink& operator=(const TcpLink&) = delete;

    bool send(const std::vector<uint8_t>& bytes) override {
        flush();
        if (unsent.size() > MAX_UNSENT_BYTES) return false;
        unsent.insert(unsent.end(), bytes.begin(), bytes.end());
        flush();
        return true;
    }

    bool receive(std::vector<uint8_t>& into, size_t most) override {
        flush();
        if (failed) return false;
        uint8_t piece[READ_PIECE];
        for (size_t got = 0; got < most;) {
            const ssize_t n = ::recv(fd, piece, std::min(most - got, sizeof piece), MSG_DONTWAIT);
            if (n > 0) {
                into.insert(into.end(), piece, piece + n);
                got += static_cast<size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            }
        }
        return true;
    }

    int descriptor() const override { return fd; }
    bool backlogged() const override { return !unsent.empty(); }

private:
    // Sends what the system takes now; the rest waits for the next frame.
    void flush() {
        size_t sent = 0;
        while (sent < unsent.size() && !failed) {
            const ssize_t n = ::send(fd, unsent.data() + sent, unsent.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0)
                sent += static_cast<size_t>(n);
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            else
                failed = true;
        }
        unsent.erase(unsent.begin(), unsent.begin() + static_cast<std::ptrdiff_t>(sent));
    }

    int fd;
    std::vector<uint8_t> unsent;
    bool failed = false;
};

struct MemoryPipe {
    std::deque<uint8_t> toSide[2];
    bool closed[2] = {false, false};
};

class MemoryLink : public ByteLink {
public:
    MemoryLink(std::shared_ptr<MemoryPipe> p, int s) : pipe(std::move(p)), side(s) {}
    ~MemoryLink() override { pipe->closed[side] = true; }
    MemoryLink(const MemoryLink&) = delete;
    MemoryLink& operator=(const MemoryLink&) = delete;

    bool send(const std::vector<uint8_t>& bytes) override {
        if (!pipe->closed[1 - side])
            pipe->toSide[1 - side].insert(pipe->toSide[1 - side].end(), bytes.begin(), bytes.end());
        return true;
    }

    // All the pipe holds at once, however little the reader needs: what a test sends arrives in one read.
    bool receive(std::vector<uint8_t>& into, size_t) override {
        std::deque<uint8_t>& inbox = pipe->toSide[side];
        if (inbox.empty()) return !pipe->closed[1 - side];
        into.insert(into.end(), inbox.begin(), inbox.end());
        inbox.clear();
        return true;
    }

private:
    std::shared_ptr<MemoryPipe> pipe;
    int side;
};

}  // namespace

std::pair<std::unique_ptr<ByteLink>, std::unique_ptr<ByteLink>> makeMemoryLinkPair() {
    auto pipe = std::make_shared<MemoryPipe>();
    return {std::make_unique<MemoryLink>(pipe, 0), std::make_unique<MemoryLink>(pipe, 1)};
}

// ---- The manager ----

NetworkManager::NetworkManager() {
    if (SDLNet_Init() < 0) std::cerr << "SDLNet_Init failed: " << SDLNet_GetError() << "\n";
}

NetworkManager::~NetworkManager() {
    closeTcp();
    closeUdp();
    SDLNet_Quit();
}

bool NetworkManager::listen(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || !setFlag(fd, SOL_SOCKET, SO_REUSEADDR) || !bindTo(fd, port) || ::listen(fd, LISTEN_BACKLOG) != 0) {
        std::cerr << "Cannot listen on port " << port << ": " << std::strerror(errno) << "\n";
        if (fd >= 0) ::close(fd);
        return false;
    }
    closeListener();
    listenFd = fd;
    isHost = true;
    return true;
}

NameLookUp lookUpHostName(const std::string& name) {
    addrinfo wanted{};
    wanted.ai_family = AF_INET;
    wanted.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    NameLookUp result;
    result.error = ::getaddrinfo(name.c_str(), nullptr, &wanted, &found);
    if (result.error == 0) result.host = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    if (found) ::freeaddrinfo(found);
    return result;
}

// The system offers no way to stop a look-up, so one still going at the deadline is left to end on its own thread,
// its answer unread.
std::string NetworkManager::lookUpBefore(const std::string& name, uint32_t& host,
                                         std::chrono::steady_clock::time_point deadline) {
    const std::string shown = Utils::shownText(name, MAX_HOST_NAME_BYTES);
    std::packaged_task<NameLookUp()> lookUp([resolve = lookUpName, name] { return resolve(name); });
    std::future<NameLookUp> answer = lookUp.get_future();
    try {
        std::thread(std::move(lookUp)).detach();
    } catch (const std::system_error& e) {
        return "looking up " + shown + ": " + e.what();
    }
    if (answer.wait_until(deadline) != std::future_status::ready)
        return "looking up " + shown + " took longer than " + std::to_string(connectTimeoutMs) + " ms";
    const NameLookUp found = answer.get();
    if (found.error != 0) return "looking up " + shown + ": " + ::gai_strerror(found.error);
    host = found.host;
    return {};
}

// The look-up and the connect share one deadline, so a Join holds the window no longer than connectTimeoutMs.
bool NetworkManager::connect(const std::string& address, uint16_t port) {
    const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(connectTimeoutMs);
    in_addr host{};
    std::string why;
    if (::inet_pton(AF_INET, address.c_str(), &host) != 1) why = lookUpBefore(address, host.s_addr, deadline);
    int fd = -1;
    if (why.empty()) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int error = fd < 0 ? errno : connectBefore(fd, ipv4(host.s_addr, htons(port)), deadline);
        if (error != 0) why = std::strerror(error);
    }
    if (!why.empty()) {
        std::cerr << "Connect failed: " << why << "\n";
        if (fd >= 0) ::close(fd);
        return false;
    }
    addConnection(std::make_unique<TcpLink>(fd));
    return true;
}

int NetworkManager::addConnection(std::unique_ptr<ByteLink> link) {
    connections.push_back({nextId, std::move(link), {}});
    return nextId++;
}

void NetworkManager::closeConnection(int id) {
    for (auto it = connections.begin(); it != connections.end(); ++it)
        if (it->id == id) {
            connections.erase(it);
            dropped.push_back(id);
            return;
        }
}

void NetworkManager::closeListener() {
    if (listenFd >= 0) ::close(listenFd);
    listenFd = -1;
}

void NetworkManager::closeTcp() {
    connections.clear();
    heldBack.clear();
    bindings.clear();
    closeListener();
    isHost = false;
}

bool NetworkManager::openUdp(uint16_t port) {
    closeUdp();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || !setFlag(fd, SOL_SOCKET, SO_BROADCAST) || !bindTo(fd, port)) {
        std::cerr << "UDP_Open failed: " << std::strerror(errno) << "\n";
        if (fd >= 0) ::close(fd);
        return false;
    }
    udpFd = fd;
    return true;
}

void NetworkManager::closeUdp() {
    if (udpFd >= 0) ::close(udpFd);
    udpFd = -1;
}

void NetworkManager::sendFrame(const std::vector<uint8_t>& frame, int skip) {
    std::vector<int> behind;
    for (Connection& c : connections)
        if (c.id != skip && !c.link->send(frame)) behind.push_back(c.id);
    for (int id : behind)
        refuse(id, "it left more than " + std::to_string(MAX_UNSENT_BYTES) + " bytes sent to it unread");
}

void NetworkManager::sendPacket(const NetPacket& packet) { sendFrame(framePacket(packet), -1); }

void NetworkManager::relayPacket(const NetPacket& packet) { sendFrame(framePacket(packet), packet.source); }

// Room is made, or the newcomer closed, before it becomes a connection, so the host never holds more sockets than it
// can wait on.
bool NetworkManager::acceptClient() {
    if (listenFd < 0) return false;
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const int client =
        ::accept4(listenFd, reinterpret_cast<sockaddr*>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) return false;
    if (connections.size() >= maxConnections && !makeRoom(from.sin_addr.s_addr)) {
        ::close(client);
        writeQuietly("full", "Refused a connection: the host's " + std::to_string(connections.size()) +
                                 " places are held by players and joins being read");
        return true;
    }
    addConnection(std::make_unique<TcpLink>(client));
    Connection& joiner = connections.back();
    joiner.frameLimit = MAX_JOIN_FRAME_LENGTH;
    joiner.awaitingJoin = true;
    joiner.acceptedAtMs = clockMs();
    joiner.address = from.sin_addr.s_addr;
    return true;
}

void NetworkManager::acceptClients() {
    for (size_t taken = 0; taken < MAX_ACCEPTS_PER_CALL && acceptClient(); ++taken) {
    }
}

// The place is taken from the address keeping the most connections waiting, the newcomer counted with its own, so
// connections from one address that never join push out only each other, never a player from another address whose
// join is on its way. Among equals the oldest goes, as connections keep their accept order; one whose join was just
// read is not passed over.
bool NetworkManager::makeRoom(uint32_t newcomerAddress) {
    const auto mayGo = [](const Connection& c) { return c.awaitingJoin && !c.spokeLastRead; };
    std::map<uint32_t, size_t> waiting{{newcomerAddress, 1}};
    for (const Connection& c : connections)
        if (mayGo(c)) ++waiting[c.address];
    const Connection* leaving = nullptr;
    for (const Connection& c : connections)
        if (mayGo(c) && (!leaving || waiting[c.address] > waiting[leaving->address])) leaving = &c;
    if (!leaving) return false;
    refuseQuietly(leaving->id, "it waited longest of the connections its address keeps waiting for a join, and a "
                               "newcomer takes its place");
    return true;
}

void NetworkManager::stopAccepting() {
    closeListener();
    std::vector<int> unjoined;
    for (const Connection& c : connections)
        if (c.awaitingJoin) unjoined.push_back(c.id);
    for (int id : unjoined) closeConnection(id);
}

NetworkManager::Connection* NetworkManager::find(int id) {
    for (Connection& c : connections)
        if (c.id == id) return &c;
    return nullptr;
}

void NetworkManager::admitConnection(int id) {
    if (Connection* c = find(id)) {
        c->frameLimit = MAX_FRAME_LENGTH;
        c->awaitingJoin = false;
    }
}

void NetworkManager::bindConnection(int id, int player) {
    if (!find(id)) return;
    admitConnection(id);
    bindings[id] = player;
}

int NetworkManager::playerOf(int id) const {
    const auto found = bindings.find(id);
    return found == bindings.end() ? NO_PLAYER : found->second;
}

void NetworkManager::refuse(int id, const std::string& why) {
    if (!why.empty()) std::cerr << "Dropping connection " << id << ": " << why << "\n";
    refusedIds.insert(id);
    closeConnection(id);
}

bool NetworkManager::wasRefused(int id) const { return refusedIds.count(id) != 0; }

void NetworkManager::writeQuietly(const std::string& cause, const std::string& line) {
    QuietCause& quiet = quietCauses[cause];
    const uint32_t now = clockMs();
    if (quiet.written && now - quiet.writtenAtMs < QUIET_LINE_MS) {
        ++quiet.heldBack;
        return;
    }
    std::cerr << line;
    if (quiet.heldBack) std::cerr << " (and " << quiet.heldBack << " more since the last such line)";
    std::cerr << "\n";
    quiet = {true, now, 0};
}

void NetworkManager::refuseQuietly(int id, const std::string& why) {
    writeQuietly(why, "Dropping connection " + std::to_string(id) + ": " + why);
    refuse(id, "");
}

void NetworkManager::holdBack(std::vector<NetPacket> packets) {
    heldBack.insert(heldBack.begin(), std::make_move_iterator(packets.begin()), std::make_move_iterator(packets.end()));
}

// Before anything is read, so a join that comes too late is not granted to a connection already closed.
void NetworkManager::closeLateJoiners() {
    const uint32_t now = clockMs();
    std::vector<int> late;
    for (const Connection& c : connections)
        if (c.awaitingJoin && now - c.acceptedAtMs >= JOIN_TIMEOUT_MS) late.push_back(c.id);
    for (int id : late) refuseQuietly(id, "it sent no join within " + std::to_string(JOIN_TIMEOUT_MS) + " ms");
}

// Reading stops at the end of a whole frame, so a flood of small frames costs a chunk a call, and a frame at the
// limit, once its bytes are there, one call rather than a thousand.
bool NetworkManager::readConnection(Connection& c, std::vector<NetPacket>& packets) {
    const size_t first = packets.size();
    uint32_t badLength = 0;
    bool open = true;
    bool wellFramed = true;
    for (bool reading = true; reading;) {
        const size_t held = c.buffer.size();
        open = c.link->receive(c.buffer, bytesLacking(c.buffer));
        const bool arrived = c.buffer.size() > held;
        wellFramed = cutFrames(c.buffer, packets, badLength, c.frameLimit);
        reading = open && wellFramed && arrived && !c.buffer.empty();
    }
    for (size_t k = first; k < packets.size(); ++k) packets[k].source = c.id;
    c.spokeLastRead = packets.size() > first;
    if (!wellFramed)
        std::cerr << (isHost ? "Dropping connection: invalid pktSize=" : "Bad pktSize on client: ") << badLength
                  << "\n";
    return open && wellFramed;
}

// Closed connections are noticed before new ones are taken, so a place freed is free for the next comer.
std::vector<NetPacket> NetworkManager::receivePackets() {
    std::vector<NetPacket> packets = std::exchange(heldBack, {});
    refusedIds.clear();
    closeLateJoiners();
    for (size_t i = 0; i < connections.size();) {
        if (readConnection(connections[i], packets)) {
            ++i;
            continue;
        }
        dropped.push_back(connections[i].id);
        connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
    }
    acceptClients();
    return packets;
}

std::vector<int> NetworkManager::takeDroppedConnections() { return std::exchange(dropped, {}); }

// A link with bytes still to send wakes the wait once its peer can take more, so a large frame keeps moving.
void NetworkManager::waitForTraffic(uint32_t timeoutMs) {
    std::vector<pollfd> watched;
    for (int fd : {listenFd, udpFd})
        if (fd >= 0) watched.push_back({fd, POLLIN, 0});
    for (const Connection& c : connections)
        if (const int fd = c.link->descriptor(); fd >= 0)
            watched.push_back({fd, static_cast<short>(POLLIN | (c.link->backlogged() ? POLLOUT : 0)), 0});
    if (watched.empty()) return;
    ::poll(watched.data(), watched.size(), static_cast<int>(std::min<uint32_t>(timeoutMs, INT32_MAX)));
}

// ---- Datagrams ----

void NetworkManager::broadcastPacket(const NetPacket& packet, uint16_t port) {
    in_addr to{};
    if (udpFd < 0 || packet.data.size() + 1 > MAX_DATAGRAM || inet_pton(AF_INET, netBroadcastAddress.c_str(), &to) != 1)
        return;
    std::vector<uint8_t> datagram{packet.type};
    datagram.insert(datagram.end(), packet.data.begin(), packet.data.end());
    const sockaddr_in address = ipv4(to.s_addr, htons(port));
    ::sendto(udpFd, datagram.data(), datagram.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&address),
             sizeof address);
}

std::vector<NetPacket> NetworkManager::receiveDatagrams() {
    std::vector<NetPacket> packets;
    uint8_t datagram[MAX_DATAGRAM];
    while (udpFd >= 0 && packets.size() < MAX_DATAGRAMS_PER_CALL) {
        const ssize_t length = ::recv(udpFd, datagram, sizeof datagram, MSG_DONTWAIT);
        if (length < 0) break;
        NetPacket packet;
        // An empty datagram reads as type 1, which no reader handles.
        packet.type = length > 0 ? datagram[0] : 1;
        if (length > 1) packet.data.assign(datagram + 1, datagram + length);
        packets.push_back(std::move(packet));
    }
    return packets;
}

// ---- Local address ----

namespace {

bool isPrivate(const IPv4Octets& a) {
    return (a[0] == 192 && a[1] == 168) || a[0] == 10 || (a[0] == 172 && a[1] >= 16 && a[1] <= 31);
}

}  // namespace

std::string chooseLocalAddress(const std::vector<IPv4Octets>& addresses) {
    const IPv4Octets* chosen = nullptr;
    for (const IPv4Octets& a : addresses) {
        if (a[0] == 127) continue;
        if (isPrivate(a)) {
            chosen = &a;
            break;
        }
        if (!chosen) chosen = &a;
    }
    if (!chosen) return "127.0.0.1";
    const IPv4Octets& a = *chosen;
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}

std::string NetworkManager::getLocalIPAddress() {
    IPaddress found[64];
    const int count = SDLNet_GetLocalAddresses(found, 64);
    std::vector<IPv4Octets> addresses;
    for (int i = 0; i < count; ++i) {
        IPv4Octets octets;
        std::memcpy(octets.data(), &found[i].host, 4);
        addresses.push_back(octets);
    }
    return chooseLocalAddress(addresses);
}

std::string announcedAddress() {
    return netBroadcastAddress.rfind("127.", 0) == 0 ? "127.0.0.1" : NetworkManager::getLocalIPAddress();
}
