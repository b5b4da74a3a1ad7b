// Typed messages between peers: the packet buffer, length framing, and the TCP and UDP transport over the system's
// sockets.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <SDL_timer.h>

enum class PacketType : uint8_t {
    TurnCommands = 2,
    PlayerLeft = 5,
    LobbyUpdate = 6,
    StartGame = 7,
    LobbyInfo = 8,
    LobbyQuery = 9,
    JoinLobby = 11,
    ChangeRace = 12,
    JoinAccepted = 13,
};

// One message: a type byte and a payload of little-endian integers, flags and length-prefixed strings. A read
// that does not fit consumes nothing and leaves its target unchanged.
struct NetPacket {
    uint8_t type = 0;
    std::vector<uint8_t> data;
    size_t readPos = 0;
    // The connection it arrived on, so a host can pass it on to the others; -1 for a packet built here.
    int source = -1;

    NetPacket() = default;
    explicit NetPacket(PacketType t) : type(static_cast<uint8_t>(t)) {}

    void writeInt(int32_t value);
    void writeByte(uint8_t value);
    void writeString(const std::string& value);
    bool readInt(int32_t& value);
    bool readByte(uint8_t& value);
    // A count that fits but whose bytes do not consumes the count and leaves the target unchanged.
    bool readString(std::string& value);
    size_t remaining() const { return data.size() - readPos; }
};

// The frame length counts the type byte and the payload; anything outside 1 to 4 MiB drops the connection.
constexpr uint32_t MAX_FRAME_LENGTH = 4u << 20;
// A connection that has not joined yet may only ask to join, which takes a few hundred bytes.
constexpr uint32_t MAX_JOIN_FRAME_LENGTH = 64u << 10;
// Connections a host keeps waiting for their join beyond its player limit; a newcomer beyond them takes the place
// of the one that has waited longest from the address keeping the most waiting, so connections that never join
// cannot keep every player out.
constexpr size_t AWAITING_JOIN = 4;
// Milliseconds a connect waits for its peer to answer: enough for a lost segment sent again on a real network, and
// short enough that a mistyped address holds the window only this long.
constexpr uint32_t CONNECT_TIMEOUT_MS = 3000;
// Milliseconds a host gives an accepted connection to join; one still silent then is closed.
constexpr uint32_t JOIN_TIMEOUT_MS = 10000;
// Lines of one cause of refusal are written at most once in this many milliseconds; the next one counts those held
// back, so a flood of connections cannot flood the error stream.
constexpr uint32_t QUIET_LINE_MS = 1000;
// Milliseconds a host waits for a peer's due turn to arrive whole before it closes that peer's connection as if it
// had closed itself, whatever else the peer sends meanwhile. A member, which hears everyone through its one link,
// waits twice this: it then gives up the players whose turn is missing if something whole came on the link within
// this, and closes the link once nothing whole came for twice this. A live peer sends a turn every turn, paused or
// not, and waits at most a network round for the turns it needs, so even a peer drawing a few frames a second is
// never late by a fraction of this; only a hung process, a machine gone to sleep or a hostile client is.
constexpr uint32_t SILENT_PEER_TIMEOUT_MS = 30000;
// Connections taken in per call, kept or closed; the rest wait in the system's queue, so a flood of them cannot
// hold a frame.
constexpr size_t MAX_ACCEPTS_PER_CALL = 4;
constexpr size_t FRAME_HEADER = 4;
constexpr size_t MAX_DATAGRAM = 4096;
// Bytes read from a connection with no frame under way: the small messages waiting. A frame under way is read as
// far as it reaches, so one call takes at most this, a header and one frame.
constexpr size_t RECEIVE_CHUNK = 4096;
// Connections the system queues for a listener before the host takes them.
constexpr int LISTEN_BACKLOG = 5;
// Datagrams one call reads; the rest wait for the next, so a flood of them cannot hold a frame.
constexpr size_t MAX_DATAGRAMS_PER_CALL = 64;
// Bytes a connection may leave unread beyond what the system buffers: one frame of the largest size. A peer that
// falls further behind reads nothing, and waiting for it would stop every frame.
constexpr size_t MAX_UNSENT_BYTES = FRAME_HEADER + MAX_FRAME_LENGTH;

// A 4-byte big-endian length, the type byte, the payload.
std::vector<uint8_t> framePacket(const NetPacket& packet);

// Cuts every whole frame off the front of buffer into out; a partial frame stays for the next bytes. False, with
// the offending length in badLength, when a frame's length is 0 or above limit: the connection must then be
// dropped. Only one partial frame is ever kept, so a connection holds at most limit bytes and a header.
bool cutFrames(std::vector<uint8_t>& buffer, std::vector<NetPacket>& out, uint32_t& badLength,
               uint32_t limit = MAX_FRAME_LENGTH);

// A byte stream to one peer: a TCP socket, or a pipe in memory for tests and benchmarks.
class ByteLink {
public:
    virtual ~ByteLink() = default;
    // Sends without waiting, keeping what the peer cannot take yet; false, with nothing kept, once more than
    // MAX_UNSENT_BYTES wait for it.
    virtual bool send(const std::vector<uint8_t>& bytes) = 0;
    // Appends what has arrived, without waiting, a socket no more than the `most` bytes the reader needs; false once
    // the peer has closed or the link failed.
    virtual bool receive(std::vector<uint8_t>& into, size_t most) = 0;
    // The socket to wait on, or -1 when there is none.
    virtual int descriptor() const { return -1; }
    // Whether sent bytes wait for the peer to take them, so a wait should end once it can.
    virtual bool backlogged() const { return false; }
};

// Two ends of an in-memory stream: what one end sends, the other receives, in order.
std::pair<std::unique_ptr<ByteLink>, std::unique_ptr<ByteLink>> makeMemoryLinkPair();

// What a look-up of a host name gave: error 0 and the IPv4 address in network order, or the resolver's EAI_ code.
struct NameLookUp {
    int error = 0;
    uint32_t host = 0;
};
// The system's resolver, which takes as long as its own retries do.
NameLookUp lookUpHostName(const std::string& name);

// The TCP port of matches and lobbies and the UDP ports discovery broadcasts to; tests override them.
extern uint16_t netTcpPort;
extern uint16_t netUdpPorts[2];
// Where discovery datagrams go; tests point it at 127.0.0.1.
extern std::string netBroadcastAddress;

class NetworkManager {
public:
    struct Connection {
        int id = 0;
        std::unique_ptr<ByteLink> link;
        std::vector<uint8_t> buffer;  // received bytes not yet cut into frames
        uint32_t frameLimit = MAX_FRAME_LENGTH;
        // Accepted by a host and not joined yet: closed once JOIN_TIMEOUT_MS have passed since acceptedAtMs.
        bool awaitingJoin = false;
        uint32_t acceptedAtMs = 0;
        // The peer's IPv4 address in network order as the host accepted it; 0 for a link in memory.
        uint32_t address = 0;
        // Whole frames came in the last read, which their reader answers before this connection can make room.
        bool spokeLastRead = false;
    };
    static constexpr int NO_PLAYER = -1;

    NetworkManager();
    ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    // True on the peer that accepts clients.
    bool isHost = false;
    // The host's clients in accept order, or on a joining peer the one link to the host or relay.
    std::vector<Connection> connections;

    // False, with one line, when the port cannot be listened on.
    bool listen(uint16_t port);
    bool listening() const { return listenFd >= 0; }
    // False, with one line ("Connect failed: " and the reason), when no connection is made within connectTimeoutMs.
    // An address in dotted decimal is taken as it is; anything else is a name looked up with lookUpName.
    bool connect(const std::string& address, uint16_t port);
    int addConnection(std::unique_ptr<ByteLink> link);
    void closeConnection(int id);
    void closeTcp();
    // Closes the discovery socket open before, if any.
    bool openUdp(uint16_t port);
    void closeUdp();
    bool discovering() const { return udpFd >= 0; }

    // To every connection: the host's clients, or the host.
    void sendPacket(const NetPacket& packet);
    // To every connection but the one the packet came on.
    void relayPacket(const NetPacket& packet);
    // Milliseconds of the clock that bounds the wait for a join; tests set their own.
    std::function<uint32_t()> clockMs = SDL_GetTicks;
    // How long connect waits for an answer, its look-up included; tests set their own.
    uint32_t connectTimeoutMs = CONNECT_TIMEOUT_MS;
    // The resolver connect asks, apart from the caller's thread; tests set one that answers as they need.
    std::function<NameLookUp(const std::string&)> lookUpName = lookUpHostName;
    // Most connections a host keeps (see acceptClient for a newcomer beyond them).
    size_t maxConnections = 64;
    // Takes one waiting client into connections, where it may send only a join until admitted; false when none
    // waits. With every place taken, a connection still to join makes room (see makeRoom), or, when none can (all
    // joined, or their joins just read), the newcomer is closed.
    bool acceptClient();
    // Takes up to MAX_ACCEPTS_PER_CALL waiting clients in.
    void acceptClients();
    // A match takes no new connection: the listening socket is closed, and connections that never joined too.
    void stopAccepting();
    // The connection is a peer from now on: it joins nothing more and sends full-size frames.
    void admitConnection(int id);
    // The connection is admitted and speaks for this player from now on.
    void bindConnection(int id, int player);
    // The player a connection joined as, or NO_PLAYER; still known after the connection closed.
    int playerOf(int id) const;
    // Closes a connection that broke the rules, with the one line that says why (none when why is empty: the
    // line was written already).
    void refuse(int id, const std::string& why);
    // Whether the connection was refused since the packets were received: what else it sent is not read.
    bool wasRefused(int id) const;
    // Everything that has arrived, cut into packets in connection order, after the packets held back; then the
    // waiting clients are taken in. Connections that have waited JOIN_TIMEOUT_MS without joining are closed first,
    // with one line each.
    std::vector<NetPacket> receivePackets();
    // Packets received but meant for whoever reads next: the next receivePackets returns them first, in order.
    void holdBack(std::vector<NetPacket> packets);
    // Ids of connections closed since the last call (by the peer, a failure or a bad frame).
    std::vector<int> takeDroppedConnections();
    // Waits up to timeoutMs for traffic on any socket; returns at once with nothing to wait on.
    void waitForTraffic(uint32_t timeoutMs);

    // One datagram to the broadcast address; one that would exceed 4096 bytes is not sent.
    void broadcastPacket(const NetPacket& packet, uint16_t port);
    // At most MAX_DATAGRAMS_PER_CALL of the datagrams waiting, in arrival order.
    std::vector<NetPacket> receiveDatagrams();

    static std::string getLocalIPAddress();

private:
    // When the line of a cause was last written, and how many of that cause were held back since.
    struct QuietCause {
        bool written = false;
        uint32_t writtenAtMs = 0;
        size_t heldBack = 0;
    };

    // Empty, with host set, once the name resolved before the deadline; else why not.
    std::string lookUpBefore(const std::string& name, uint32_t& host, std::chrono::steady_clock::time_point deadline);
    Connection* find(int id);
    // To every connection but skip; one that has fallen too far behind is dropped.
    void sendFrame(const std::vector<uint8_t>& frame, int skip);
    void closeLateJoiners();
    // Closes a connection still to join to make room for a newcomer from newcomerAddress; false when none may go.
    bool makeRoom(uint32_t newcomerAddress);
    // Cuts what the connection holds into packets after reading what its frame under way still lacks, until the
    // socket holds no more or no frame is under way; false, with one line, when it closed or sent a bad frame.
    bool readConnection(Connection& c, std::vector<NetPacket>& packets);
    // The line, unless one of the same cause was written less than QUIET_LINE_MS ago.
    void writeQuietly(const std::string& cause, const std::string& line);
    // refuse, with the line written quietly.
    void refuseQuietly(int id, const std::string& why);
    void closeListener();
    int listenFd = -1;
    int udpFd = -1;
    std::map<std::string, QuietCause> quietCauses;
    int nextId = 1;
    std::vector<int> dropped;
    std::set<int> refusedIds;
    // On a host, the one player each connection joined as; it may speak for no other.
    std::map<int, int> bindings;
    std::vector<NetPacket> heldBack;
};

// Addresses as their four octets in network order.
using IPv4Octets = std::array<uint8_t, 4>;
// The first private address that is not loopback, else the first that is not loopback, else 127.0.0.1.
std::string chooseLocalAddress(const std::vector<IPv4Octets>& addresses);
// The address a lobby names for this peer: loopback while discovery stays on loopback, where only this machine
// hears it, else the local address.
std::string announcedAddress();

extern NetworkManager net;
