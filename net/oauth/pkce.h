#pragma once

#include <string>
#include <string_view>

// Proof Key for Code Exchange (RFC 7636, method S256) and the state of a sign-in: secrets made
// fresh for every sign-in, so that a code caught on its way back is of no use to anyone else.
namespace kavrel {

struct TPKCE {
    std::string Verifier;   // stays here; sent only with the code to the token endpoint
    std::string Challenge;  // goes with the browser's request
};

// A new pair from 32 bytes of the system's random generator.
TPKCE MakePKCE();

// The verifier made of these random bytes: their base64url form without padding.
std::string PKCEVerifierOf(std::string_view randomBytes);
// BASE64URL(SHA256(verifier)), unpadded.
std::string PKCEChallengeOf(std::string_view verifier);

// A value for the state parameter: 16 random bytes in base64url.
std::string RandomState();

}  // namespace kavrel
