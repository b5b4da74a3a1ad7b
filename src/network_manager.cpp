// The framed message transport: packet elements, the frame cutter, TCP links, UDP datagrams and the manager.
#include "network_manager.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <iostream>
#include <iterator>
#include <utility>

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

bool cutFrames(std::vector<uint8_t>& buffer, std::vector<NetPacket>& out, uint32_t& badLength, uint32_t limit) {
    size_t pos = 0;
    while (buffer.size() - pos >= FRAME_HEADER) {
        const uint8_t* at = buffer.data() + pos;
        const uint32_t length = (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
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

// The descriptor of a connected socket, which SDL2_net keeps after the ready flag that every socket of it starts
// with; -1 unless the descriptor is connected to the socket's own peer, so another layout only costs the sends
// that do not wait.
int descriptorOf(TCPsocket sock) {
    int fd = -1;
    std::memcpy(&fd, reinterpret_cast<const char*>(sock) + sizeof(int), sizeof fd);
    const IPaddress* peer = SDLNet_TCP_GetPeerAddress(sock);
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (!peer || fd < 0 || getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sin_family != AF_INET)
        return -1;
    return address.sin_addr.s_addr == peer->host && address.sin_port == peer->port ? fd : -1;
}

class TcpLink : public ByteLink {
public:
    explicit TcpLink(TCPsocket s) : sock(s), fd(descriptorOf(s)), set(SDLNet_AllocSocketSet(1)) {
        if (set)
            SDLNet_TCP_AddSocket(set, sock);
        else
            std::cerr << "Failed to alloc socket set: " << SDLNet_GetError() << "\n";
    }
    ~TcpLink() override {
        if (set) SDLNet_FreeSocketSet(set);
        SDLNet_TCP_Close(sock);
    }
    TcpLink(const TcpLink&) = delete;
    TcpLink& operator=(const TcpLink&) = delete;

    bool send(const std::vector<uint8_t>& bytes) override {
        if (fd < 0) {
            SDLNet_TCP_Send(sock, bytes.data(), static_cast<int>(bytes.size()));
            return true;
        }
        flush();
        if (unsent.size() > MAX_UNSENT_BYTES) return false;
        unsent.insert(unsent.end(), bytes.begin(), bytes.end());
        flush();
        return true;
    }

    bool receive(std::vector<uint8_t>& into) override {
        flush();
        if (!set || failed) return false;
        if (SDLNet_CheckSockets(set, 0) <= 0 || !SDLNet_SocketReady(sock)) return true;
        uint8_t chunk[RECEIVE_CHUNK];
        const int got = SDLNet_TCP_Recv(sock, chunk, static_cast<int>(sizeof chunk));
        if (got <= 0) return false;
        into.insert(into.end(), chunk, chunk + got);
        return true;
    }

    TCPsocket socket() const override { return sock; }

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

    TCPsocket sock;
    int fd;
    SDLNet_SocketSet set;
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

    bool receive(std::vector<uint8_t>& into) override {
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
    IPaddress any{};
    if (SDLNet_ResolveHost(&any, nullptr, port) < 0 || !(listenSocket = SDLNet_TCP_Open(&any))) {
        std::cerr << "SDLNet_TCP_Open failed: " << SDLNet_GetError() << "\n";
        return false;
    }
    isHost = true;
    return true;
}

bool NetworkManager::connect(const std::string& address, uint16_t port) {
    IPaddress to{};
    TCPsocket sock = nullptr;
    if (SDLNet_ResolveHost(&to, address.c_str(), port) < 0 || !(sock = SDLNet_TCP_Open(&to))) {
        std::cerr << "SDLNet_TCP_Open failed: " << SDLNet_GetError() << "\n";
        return false;
    }
    addConnection(std::make_unique<TcpLink>(sock));
    return true;
}

int NetworkManager::addConnection(std::unique_ptr<ByteLink> link) {
    connections.push_back({nextId, std::move(link), {}});
    connections.back().heardAtMs = clockMs();
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

void NetworkManager::closeTcp() {
    connections.clear();
    heldBack.clear();
    bindings.clear();
    if (listenSocket) SDLNet_TCP_Close(listenSocket);
    listenSocket = nullptr;
    isHost = false;
}

bool NetworkManager::openUdp(uint16_t port) {
    closeUdp();
    if (!(udpSocket = SDLNet_UDP_Open(port))) {
        std::cerr << "UDP_Open failed: " << SDLNet_GetError() << "\n";
        return false;
    }
    return true;
}

void NetworkManager::closeUdp() {
    if (udpSocket) SDLNet_UDP_Close(udpSocket);
    udpSocket = nullptr;
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

bool NetworkManager::acceptClient() {
    if (!listenSocket) return false;
    TCPsocket client = SDLNet_TCP_Accept(listenSocket);
    if (!client) return false;
    // Closed before it becomes a connection, so the host never holds more sockets than it can wait on.
    if (connections.size() >= maxConnections) {
        SDLNet_TCP_Close(client);
        std::cerr << "Refused a connection: the host already holds " << connections.size() << "\n";
        return true;
    }
    addConnection(std::make_unique<TcpLink>(client));
    Connection& joiner = connections.back();
    joiner.frameLimit = MAX_JOIN_FRAME_LENGTH;
    joiner.awaitingJoin = true;
    joiner.acceptedAtMs = clockMs();
    return true;
}

void NetworkManager::acceptClients() {
    for (size_t taken = 0; taken < MAX_ACCEPTS_PER_CALL && acceptClient(); ++taken) {
    }
}

void NetworkManager::stopAccepting() {
    if (listenSocket) SDLNet_TCP_Close(listenSocket);
    listenSocket = nullptr;
    std::vector<int> unjoined;
    for (const Connection& c : connections)
        if (!bindings.count(c.id)) unjoined.push_back(c.id);
    for (int id : unjoined) closeConnection(id);
}

NetworkManager::Connection* NetworkManager::find(int id) {
    for (Connection& c : connections)
        if (c.id == id) return &c;
    return nullptr;
}

void NetworkManager::bindConnection(int id, int player) {
    if (Connection* c = find(id)) {
        bindings[id] = player;
        c->frameLimit = MAX_FRAME_LENGTH;
        c->awaitingJoin = false;
    }
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

void NetworkManager::holdBack(std::vector<NetPacket> packets) {
    heldBack.insert(heldBack.begin(), std::make_move_iterator(packets.begin()), std::make_move_iterator(packets.end()));
}

// Before anything is read, so a join that comes too late is not granted to a connection already closed.
void NetworkManager::closeLateJoiners() {
    const uint32_t now = clockMs();
    std::vector<int> late;
    for (const Connection& c : connections)
        if (c.awaitingJoin && now - c.acceptedAtMs >= JOIN_TIMEOUT_MS) late.push_back(c.id);
    for (int id : late) refuse(id, "it sent no join within " + std::to_string(JOIN_TIMEOUT_MS) + " ms");
}

// Closed connections are noticed before new ones are taken, so a place freed is free for the next comer.
std::vector<NetPacket> NetworkManager::receivePackets() {
    std::vector<NetPacket> packets = std::exchange(heldBack, {});
    refusedIds.clear();
    closeLateJoiners();
    const uint32_t now = clockMs();
    for (size_t i = 0; i < connections.size();) {
        Connection& c = connections[i];
        const size_t held = c.buffer.size();
        const bool open = c.link->receive(c.buffer);
        if (c.buffer.size() > held) c.heardAtMs = now;
        const size_t first = packets.size();
        uint32_t badLength = 0;
        const bool wellFramed = cutFrames(c.buffer, packets, badLength, c.frameLimit);
        for (size_t k = first; k < packets.size(); ++k) packets[k].source = c.id;
        if (!wellFramed)
            std::cerr << (isHost ? "Dropping connection: invalid pktSize=" : "Bad pktSize on client: ") << badLength
                      << "\n";
        if (wellFramed && open) {
            ++i;
            continue;
        }
        dropped.push_back(c.id);
        connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
    }
    acceptClients();
    return packets;
}

std::vector<int> NetworkManager::takeDroppedConnections() { return std::exchange(dropped, {}); }

void NetworkManager::waitForTraffic(uint32_t timeoutMs) {
    std::vector<TCPsocket> sockets;
    if (listenSocket) sockets.push_back(listenSocket);
    for (const Connection& c : connections)
        if (TCPsocket s = c.link->socket()) sockets.push_back(s);
    if (sockets.empty() && !udpSocket) return;
    SDLNet_SocketSet set = SDLNet_AllocSocketSet(static_cast<int>(sockets.size()) + 1);
    if (!set) return;
    for (TCPsocket s : sockets) SDLNet_TCP_AddSocket(set, s);
    if (udpSocket) SDLNet_UDP_AddSocket(set, udpSocket);
    SDLNet_CheckSockets(set, timeoutMs);
    SDLNet_FreeSocketSet(set);
}

// ---- Datagrams ----

void NetworkManager::broadcastPacket(const NetPacket& packet, uint16_t port) {
    if (!udpSocket || packet.data.size() + 1 > MAX_DATAGRAM) return;
    UDPpacket* datagram = SDLNet_AllocPacket(static_cast<int>(MAX_DATAGRAM));
    if (!datagram) return;
    if (SDLNet_ResolveHost(&datagram->address, netBroadcastAddress.c_str(), port) == 0) {
        datagram->data[0] = packet.type;
        if (!packet.data.empty()) std::memcpy(datagram->data + 1, packet.data.data(), packet.data.size());
        datagram->len = static_cast<int>(packet.data.size() + 1);
        SDLNet_UDP_Send(udpSocket, -1, datagram);
    }
    SDLNet_FreePacket(datagram);
}

std::vector<NetPacket> NetworkManager::receiveDatagrams() {
    std::vector<NetPacket> packets;
    if (!udpSocket) return packets;
    UDPpacket* datagram = SDLNet_AllocPacket(static_cast<int>(MAX_DATAGRAM));
    if (!datagram) return packets;
    while (packets.size() < MAX_DATAGRAMS_PER_CALL && SDLNet_UDP_Recv(udpSocket, datagram) > 0) {
        NetPacket packet;
        // An empty datagram reads as type 1, which no reader handles.
        packet.type = datagram->len > 0 ? datagram->data[0] : 1;
        if (datagram->len > 1) packet.data.assign(datagram->data + 1, datagram->data + datagram->len);
        packets.push_back(std::move(packet));
    }
    SDLNet_FreePacket(datagram);
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
