// The line connection fed from a byte stream: lines, replies, dot-terminated lists and exact
// counts read in any order, over receives of any size. Every read must take exactly the bytes
// it returns, and a read that fails or times out must lose none.
//
// Input: four option bytes, the program (up to 15 operation bytes), then the peer's stream.
//   0  line limit: 0 for the program's 16384, 255 for none, else the limit itself
//   1  bit 0 splits long lines instead of failing; bits 1-2 the end (close, reset, silence);
//      bit 3 makes every few waits time out; bit 4 a receive buffer of a few bytes
//   2  the largest receive (0: no limit of its own); its high half also sets the stall rhythm
//   3  the length of the program; an empty one reads lines
#include <string>
#include <string_view>
#include <vector>

#include "net/transport/net_errors.h"
#include "net/transport/stream.h"
#include "net/transport/tcp_connection.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/memory_io_handler.h"

namespace kavrel {
namespace {

constexpr std::string_view kTerminators[] = {"\r\n", "<END>", ".", "\n.\r\n"};
constexpr int kMaxOperations = 256;

struct TRun {
    std::string_view stream;
    fuzz::TMemoryIOHandler& carrier;
    TTCPConnection& c;
    std::size_t pos = 0;  // bytes the reads have taken so far

    std::size_t Taken() const { return carrier.Delivered() - c.InputBufferSize(); }

    // The bytes at the read position are text; the read took them.
    void Took(std::string_view text) {
        FUZZ_CHECK(stream.substr(pos, text.size()) == text);
        pos += text.size();
    }

    void Line(std::string_view end, int timeout, std::int32_t maxLength) {
        const std::string line = c.ReadLine(end, timeout, maxLength);
        const std::int32_t limit = maxLength == -1 ? c.MaxLineLength : maxLength;
        if (limit > 0) FUZZ_CHECK(line.size() <= static_cast<std::size_t>(limit));
        if (c.LineTimedOut()) {
            FUZZ_CHECK(line.empty() && Taken() == pos);
            return;
        }
        if (c.LineWasSplit()) {
            FUZZ_CHECK(line.size() == static_cast<std::size_t>(limit));
            Took(line);
            return;
        }
        const std::string_view e = end.empty() ? "\n" : end;
        FUZZ_CHECK(line.find(e) == std::string::npos);
        Took(line);
        // The default end also takes the CR before the LF.
        if (e == "\n" && stream.substr(pos, 2) == "\r\n")
            Took("\r\n");
        else
            Took(e);
    }

    void Reply() {
        c.ReadReply();
        const TRFCReply& r = c.LastReply;
        FUZZ_CHECK(!r.Text.empty() && r.TextCode.size() <= 4 && r.NumericCode >= 0);
        for (const auto& line : r.Text) FUZZ_CHECK(line.find('\n') == std::string::npos);
        pos = Taken();
    }

    void Run(std::uint8_t op) {
        const int arg = op >> 3;
        switch (op & 7) {
            case 0:
                return Line("\n", TimeoutDefault, -1);
            case 1:
                return Line(kTerminators[arg % 4], TimeoutDefault, -1);
            case 2:
                return Line("\n", 50, -1);
            case 3:
                return Reply();
            case 4: {
                std::vector<std::string> lines;
                c.ReadLinesUntil(lines, ".", (arg & 1) != 0);
                pos = Taken();
                return;
            }
            case 5: {
                std::string bytes = "stale";
                const std::int32_t count = arg * 7 + 1;
                c.ReadBytes(bytes, count);
                FUZZ_CHECK(bytes.size() == static_cast<std::size_t>(count));
                return Took(bytes);
            }
            case 6: {
                TMemoryStream out;
                const bool untilClose = (arg & 1) != 0;
                const std::int64_t count = (arg >> 1) * 11;
                c.ReadToStream(out, count, untilClose);
                if (!untilClose) FUZZ_CHECK(out.Data.size() == static_cast<std::size_t>(count));
                return Took(out.Data);
            }
            default:
                return Line("\n", TimeoutDefault, arg);
        }
    }

    // Each read takes exactly what it gave back, no byte more or less.
    void RunChecked(std::uint8_t op) {
        Run(op);
        FUZZ_CHECK(Taken() == pos);
    }
};

}  // namespace
}  // namespace kavrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const std::uint8_t limit = input.Byte();
    const std::uint8_t flags = input.Byte();
    const std::uint8_t receive = input.Byte();
    std::vector<std::uint8_t> program(input.Byte() % 16);
    for (auto& op : program) op = input.Byte();
    if (program.empty()) program.push_back(0);
    const std::string_view stream = input.Rest();

    fuzz::TMemoryIOHandler carrier(stream);
    if (receive != 0) carrier.Chunks = {receive, 1u + (receive & 3u)};
    carrier.End = fuzz::StreamEndOf(flags >> 1);
    if (flags & 8) carrier.StallEvery = 2 + (receive >> 4);

    TTCPConnection c;
    c.SetIOHandler(&carrier);
    c.MaxLineLength = limit == 0 ? 16384 : (limit == 255 ? 0 : limit);
    if (flags & 1) c.MaxLineAction = TMaxLineAction::maSplit;
    if (flags & 16) c.RecvBufferSize = 1 + (receive & 15);
    // Waits that can time out need a limit, as the program always gives its sessions one.
    if (carrier.StallEvery > 0 || carrier.End == fuzz::TStreamEnd::Silence) c.ReadTimeout = 1000;
    carrier.Open();
    carrier.ConnectTo("peer", 110, 0);

    TRun run{stream, carrier, c};
    for (int i = 0; i < kMaxOperations; ++i) {
        const std::uint8_t op = program[static_cast<std::size_t>(i) % program.size()];
        const bool lineRead = (op & 7) <= 2 || (op & 7) == 7;
        try {
            run.RunChecked(op);
        } catch (const EReadTimeout&) {
            // A time-out or a line too long loses nothing: the connection reads on. The lines
            // a list read had before it are taken.
            if (lineRead) FUZZ_CHECK(run.Taken() == run.pos);
            run.pos = run.Taken();
        } catch (const EReadLnMaxLineLengthExceeded&) {
            if (lineRead) FUZZ_CHECK(run.Taken() == run.pos);
            run.pos = run.Taken();
        } catch (const ENetException&) {
            // The peer is gone; a line read leaves the partial line where it was.
            if (lineRead) FUZZ_CHECK(run.Taken() == run.pos);
            break;
        }
    }
    return 0;
}
