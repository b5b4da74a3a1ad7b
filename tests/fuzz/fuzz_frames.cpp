// The frame cutter on arbitrary bytes, fed whole and in two pieces: both ways must cut the same packets.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "network_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> whole(data, data + size);
    std::vector<NetPacket> atOnce;
    uint32_t bad = 0;
    const bool wholeOk = cutFrames(whole, atOnce, bad);

    const size_t split = size ? data[0] % (size + 1) : 0;
    std::vector<uint8_t> pieces(data, data + split);
    std::vector<NetPacket> inPieces;
    bool piecesOk = cutFrames(pieces, inPieces, bad);
    if (piecesOk) {
        pieces.insert(pieces.end(), data + split, data + size);
        piecesOk = cutFrames(pieces, inPieces, bad);
    }
    if (wholeOk != piecesOk) abort();
    if (wholeOk && (atOnce.size() != inPieces.size() || whole != pieces)) abort();
    for (size_t i = 0; wholeOk && i < atOnce.size(); ++i)
        if (atOnce[i].type != inPieces[i].type || atOnce[i].data != inPieces[i].data) abort();
    return 0;
}
