// Fuzz target: the serial channel's frame splitter. For any bytes, a cut never claims
// more than it was given, a frame found is well formed (a pair of equal header bytes, the
// length its header and status byte call for), junk is cut off exactly before the first
// header pair, a frame begun is torn exactly where a header pair starts after a pause, and
// nothing is held back that could already be cut. The bytes are then
// split as the channel splits them, arriving in chunks of varying size: the blocks put
// together give the bytes back, and they are the same blocks however the bytes arrive.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FrameCut.h"
#include "FuzzInput.h"

using kt::device::CutFrame;
using kt::device::FrameCut;
using kt::fuzz::Require;

namespace {

using Bytes = std::vector<uint8_t>;
using Kind = FrameCut::Kind;

bool IsHeader(uint8_t b) {
    return b >= 0xF1 && b <= 0xF4;
}

bool HeaderPairAt(const uint8_t* b, int count, int at) {
    return at + 1 < count && IsHeader(b[at]) && b[at + 1] == b[at];
}

// The length of a frame that begins with a header pair, from the protocol's rule: 8 bytes
// for F1, F2 and F3; for F4 a status byte and 4 bytes per present sensor (bits 0 to 2),
// twice that when cycle counts follow (bit 3). Nothing while the status byte is missing.
int RequiredLength(const uint8_t* b, int count) {
    if (b[0] != 0xF4) return 8;
    if (count < 3) return -1;
    const int sensors = (b[2] & 1) + ((b[2] >> 1) & 1) + ((b[2] >> 2) & 1);
    return 3 + 4 * sensors * ((b[2] & 0x08) ? 2 : 1);
}

// The splitter's cut of `count` bytes, given in a heap block of exactly that size so that
// the address sanitizer reports a read past them, checked against the rules above.
FrameCut CheckedCut(const uint8_t* bytes, int count, kt::device::LineTiming line) {
    auto exact = std::make_unique<uint8_t[]>(static_cast<size_t>(count) + (count == 0));
    std::copy(bytes, bytes + count, exact.get());
    const uint8_t* b = exact.get();
    const FrameCut cut = CutFrame(b, count, line);
    const int resumedAt = line.resumedAt;

    Require(cut.length >= 0 && cut.length <= count, "a cut never claims more than it was given");
    Require((cut.kind == Kind::Incomplete) == (cut.length == 0), "only an incomplete cut is empty");
    if (HeaderPairAt(b, count, 0)) {
        const int need = RequiredLength(b, count);
        const bool torn =
            resumedAt > 0 && (need < 0 || resumedAt < need) && HeaderPairAt(b, count, resumedAt);
        if (torn) {
            Require(cut.kind == Kind::Torn, "a frame cut short by a new header pair is torn");
            Require(cut.length == resumedAt, "a torn frame ends where the new frame begins");
        } else if (need < 0 || count < need) {
            Require(cut.kind == Kind::Incomplete, "a frame begun waits for the rest of its bytes");
        } else if (b[0] != 0xF4 ||
                   (count == need && (line.quiet || (b[2] & 0x0F) == line.steadyStatus)) ||
                   resumedAt == need || HeaderPairAt(b, count, need)) {
            Require(cut.kind == Kind::Frame, "a frame found begins with a header pair");
            Require(cut.length == need, "a frame found has the length its header calls for");
        } else if (!line.quiet && (count == need || (count == need + 1 && IsHeader(b[need])))) {
            Require(cut.kind == Kind::Incomplete, "a measurement waits to see what follows it");
        } else {
            Require(cut.kind == Kind::Torn && cut.length == 1,
                    "a measurement followed at once by what begins no frame is torn");
        }
        return cut;
    }
    int firstPair = -1;
    for (int at = 1; at + 1 < count && firstPair < 0; ++at) {
        if (HeaderPairAt(b, count, at)) firstPair = at;
    }
    if (firstPair < 0) {
        Require(cut.kind == Kind::Incomplete, "bytes with no header pair are never cut");
    } else {
        Require(cut.kind == Kind::Junk, "bytes before a header pair are cut off as junk");
        Require(cut.length == firstPair, "junk ends right before the first header pair");
    }
    return cut;
}

// Moves the first block of `pending` to `blocks`, if the splitter cuts one. (No steady
// length bits: a frame taken for them at a chunk's end depends on the chunks by design.)
bool CutOff(Bytes& pending, std::vector<Bytes>& blocks, bool quiet) {
    const FrameCut cut = CheckedCut(pending.data(), static_cast<int>(pending.size()), {0, quiet});
    if (cut.kind == Kind::Incomplete) return false;
    blocks.emplace_back(pending.begin(), pending.begin() + cut.length);
    pending.erase(pending.begin(), pending.begin() + cut.length);
    return true;
}

// Splits `stream` as the channel does: bytes arrive in the given chunk sizes (cycled),
// whole frames and junk are cut off as soon as they can be, and what is left at the end
// is cut as the silent line allows, the rest one last block (the read that ends after the
// inter-byte time).
std::vector<Bytes> Split(const Bytes& stream, const Bytes& chunkSizes) {
    std::vector<Bytes> blocks;
    Bytes pending;
    size_t at = 0;
    for (size_t chunk = 0; at < stream.size(); ++chunk) {
        const size_t size =
            chunkSizes.empty() ? stream.size() : chunkSizes[chunk % chunkSizes.size()];
        const size_t end = std::min(stream.size(), at + std::max<size_t>(size, 1));
        pending.insert(pending.end(), stream.begin() + static_cast<long>(at),
                       stream.begin() + static_cast<long>(end));
        at = end;
        while (CutOff(pending, blocks, false)) {
        }
    }
    // The line falls silent: what can be cut then is, and the rest is one last block.
    while (CutOff(pending, blocks, true)) {
    }
    if (!pending.empty()) blocks.push_back(pending);
    return blocks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kt::fuzz::FuzzInput input(data, size);
    // First byte: how many chunk sizes follow (0 to 7); then the chunk sizes (1 to 16
    // bytes); then where the bytes went on after a pause; the rest is the received stream.
    Bytes chunkSizes;
    for (int n = input.Byte() & 7; n > 0; --n) chunkSizes.push_back((input.Byte() & 15) + 1);
    const int resumeByte = input.Byte();
    const std::string_view rest = input.Rest();
    const Bytes stream(rest.begin(), rest.end());

    const int count = static_cast<int>(stream.size());
    CheckedCut(stream.data(), count,
               {count > 0 ? resumeByte % count : 0, (resumeByte & 1) != 0,
                (resumeByte & 2) != 0 ? resumeByte >> 4 : -1});
    const std::vector<Bytes> blocks = Split(stream, chunkSizes);
    Bytes joined;
    for (const Bytes& block : blocks) joined.insert(joined.end(), block.begin(), block.end());
    Require(joined == stream, "the blocks put together give the received bytes back");
    Require(blocks == Split(stream, {}), "the blocks do not depend on how the bytes arrive");
    Require(blocks == Split(stream, {1}), "the blocks are the same when bytes come one by one");
    return 0;
}
