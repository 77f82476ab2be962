// A GET answered by a server that says anything: status lines, heads, bodies of a length, in
// chunks or to the close, redirects, cookies, connections kept or closed.
//
// Input: two option bytes, then everything the server sends, response after response.
//   0  bit 0 follows redirects; bit 1 speaks HTTP/1.0; bits 2-3 the end (close, reset,
//      silence); bits 4-5 the address asked for
//   1  the largest receive (0: no limit of its own)
#include <string>

#include "base/integer.h"
#include "base/net_exception.h"
#include "net/http/http_client.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/memory_io_handler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::uint8_t receive = input.Byte();
    fuzz::TMemoryIOHandler carrier(input.Rest());
    if (receive != 0) carrier.Chunks = {receive};
    carrier.End = fuzz::StreamEndOf(flags >> 2);

    static const char* const kTargets[] = {"http://example.org/files/setup.exe",
                                           "http://ann:pw@example.org:8080/a/../b/?x=1#top",
                                           "/files/version.txt", "https://example.org/"};
    THTTPClient http;
    http.SetIOHandler(&carrier);
    http.ReadTimeout = 1000;
    http.HandleRedirects = (flags & 1) != 0;
    if (flags & 2) http.ProtocolVersion = TProtocolVersion::pv1_0;
    http.SetHost("example.org");
    try {
        const std::string body = http.Get(kTargets[(flags >> 4) & 3]);
        FUZZ_CHECK(http.ResponseCode() >= 200 && http.ResponseCode() <= 299);
        // A body of an announced length is exactly that long, never a cut one. A 204 has no
        // body whatever its head announces.
        if (http.ResponseCode() != 204 && http.Response.ContentLength >= 1 &&
            http.Response.TransferEncoding.find("chunked") == std::string::npos) {
            FUZZ_CHECK(body.size() == static_cast<std::size_t>(http.Response.ContentLength));
        }
    } catch (const ENetException&) {
    } catch (const EConvertError&) {
    }
    FUZZ_CHECK(http.RequestCount() == 0 || !http.IsConnected());
    return 0;
}
