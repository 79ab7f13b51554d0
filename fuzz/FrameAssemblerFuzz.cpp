// Feeds arbitrary byte streams from a client through velkor-sim's receive side: the frame
// assembler, in chunks chosen by the input, then the command parser and the units' answers. Checks
// that the frames cover the stream exactly, whatever the chunks, that no frame is longer than a
// command frame may be, and that every reply holds one end byte, at its end, and no 0 byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Protocol.h"
#include "Unit.h"

namespace {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "frame_assembler_fuzz: %s\n", what);
    std::abort();
}

// Units of each kind the simulator knows: counting models and one without pulse inputs.
UnitTable Units() {
    UnitTable units;
    const PulseSource source;
    for (const UnitIdentity& identity :
         {UnitIdentity{1, 2, 0, 1}, UnitIdentity{2, 3, 0, 2}, UnitIdentity{3, 4, 0, 3},
          UnitIdentity{4, 1, 0, 4}, UnitIdentity{5, kExtensionFamilyCode, 1, 5}}) {
        units.Add(Unit(identity, source));
    }
    return units;
}

// The stream cut into chunks whose sizes come from the stream's first byte.
std::vector<FrameAssembler::Piece> FeedInChunks(std::string_view stream) {
    FrameAssembler assembler;
    std::vector<FrameAssembler::Piece> pieces;
    const size_t chunk = stream.empty() ? 1 : 1 + static_cast<unsigned char>(stream[0]) % 64;
    for (size_t start = 0; start < stream.size(); start += chunk) {
        for (auto& piece : assembler.Feed(stream.substr(start, chunk)))
            pieces.push_back(std::move(piece));
    }
    return pieces;
}

void CheckPieces(const std::vector<FrameAssembler::Piece>& pieces, std::string_view stream) {
    size_t covered = 0;
    for (const FrameAssembler::Piece& piece : pieces) {
        Require(piece.bytes.size() <= kMaxCommandFrame, "piece longer than a frame");
        Require(stream.substr(covered, piece.bytes.size()) == piece.bytes, "piece not from stream");
        covered += piece.length;
        Require(static_cast<unsigned char>(stream[covered - 1]) == kFrameEnd,
                "piece does not end at an end byte");
        if (piece.overflow) {
            Require(piece.length > kMaxCommandFrame, "overflow of a frame that fits");
            continue;
        }
        Require(piece.length == piece.bytes.size(), "frame length differs from its bytes");
        Require(piece.bytes.find(static_cast<char>(kFrameEnd)) == piece.bytes.size() - 1,
                "end byte inside a frame");
    }
    const size_t lastEnd = stream.rfind(static_cast<char>(kFrameEnd));
    Require(covered == (lastEnd == std::string_view::npos ? 0 : lastEnd + 1),
            "pieces do not cover the stream up to its last end byte");
}

void CheckReply(const std::string& reply) {
    Require(!reply.empty() && static_cast<unsigned char>(reply.back()) == kFrameEnd,
            "reply without end byte");
    Require(reply.find(static_cast<char>(kFrameEnd)) == reply.size() - 1, "end byte in a reply");
    Require(reply.find('\0') == std::string::npos, "0 byte in a reply");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    const std::vector<FrameAssembler::Piece> chunked = FeedInChunks(stream);
    CheckPieces(chunked, stream);

    FrameAssembler whole;
    const std::vector<FrameAssembler::Piece> once = whole.Feed(stream);
    Require(once.size() == chunked.size(), "chunks change the frames");
    for (size_t i = 0; i < once.size(); ++i) {
        Require(once[i].bytes == chunked[i].bytes && once[i].overflow == chunked[i].overflow &&
                    once[i].length == chunked[i].length,
                "chunks change the frames");
    }

    UnitTable units = Units();
    int64_t now = 0;
    for (const FrameAssembler::Piece& piece : chunked) {
        if (piece.overflow) continue;
        std::string why;
        const auto command = ParseCommand(piece.bytes, &why);
        if (!command) continue;
        now += 1'000'000;
        const Answer answer = AnswerCommand(units, *command, now);
        if (answer.frame) CheckReply(*answer.frame);
    }
    return 0;
}
