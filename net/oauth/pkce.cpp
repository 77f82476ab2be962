#include "net/oauth/pkce.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include "base/base64.h"
#include "net/oauth/oauth_errors.h"

namespace kavrel {
namespace {

std::string RandomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1)
        throw EOAuthError("OAuth: the system's random number generator failed.");
    return bytes;
}

}  // namespace

TPKCE MakePKCE() {
    TPKCE pkce;
    // 32 bytes make the shortest verifier the RFC allows, 43 characters, with 256 bits in it.
    pkce.Verifier = PKCEVerifierOf(RandomBytes(32));
    pkce.Challenge = PKCEChallengeOf(pkce.Verifier);
    return pkce;
}

std::string PKCEVerifierOf(std::string_view randomBytes) { return Base64UrlEncode(randomBytes); }

std::string PKCEChallengeOf(std::string_view verifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw EOAuthError("OAuth: SHA-256 is not available.");
    return Base64UrlEncode(std::string_view(reinterpret_cast<const char*>(digest), length));
}

std::string RandomState() { return Base64UrlEncode(RandomBytes(16)); }

}  // namespace kavrel
