// URLs taken into pieces, and relative paths resolved against a directory.
//
// Input: the directory on a line of its own, then the URL.
#include <algorithm>
#include <string>
#include <string_view>

#include "net/http/uri.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const std::string base(input.Line());
    const std::string_view text = input.Rest();

    TURI uri;
    uri.ParseUri(text);
    // Backslashes count as slashes. Without "://" there is no protocol; with it, the protocol
    // may still be empty ("://x").
    std::string slashed(text);
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (slashed.find("://") == std::string::npos) FUZZ_CHECK(uri.Protocol.empty());
    FUZZ_CHECK(uri.Host.find('/') == std::string::npos);
    FUZZ_CHECK(uri.Document.find('/') == std::string::npos);
    if (!uri.Protocol.empty()) FUZZ_CHECK(uri.Path.starts_with('/'));

    const std::string combined = CombinePath(base, uri.Path);
    if (base.starts_with('/') && !uri.Path.starts_with('/')) {
        // Resolved against a directory from the root: no empty and no ".." segment is left.
        FUZZ_CHECK(combined.starts_with('/'));
        FUZZ_CHECK(combined.find("//") == std::string::npos);
        FUZZ_CHECK(combined.find("/../") == std::string::npos && !combined.ends_with("/.."));
    }
    return 0;
}
