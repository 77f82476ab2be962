#include "net/oauth/pkce.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrel {
namespace {

// The example of RFC 7636 appendix B, octets to verifier to challenge.
TEST(PKCE, MatchesTheRFCExample) {
    const unsigned char octets[] = {116, 24,  223, 180, 151, 153, 224, 37,  79,  250, 96,
                                    125, 216, 173, 187, 186, 22,  212, 37,  77,  105, 214,
                                    191, 240, 91,  88,  5,   88,  83,  132, 141, 121};
    const std::string verifier =
        PKCEVerifierOf(std::string(reinterpret_cast<const char*>(octets), sizeof octets));
    EXPECT_EQ(verifier, "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk");
    EXPECT_EQ(PKCEChallengeOf(verifier), "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
}

TEST(PKCE, EverySignInGetsFreshSecrets) {
    const TPKCE a = MakePKCE();
    const TPKCE b = MakePKCE();
    EXPECT_EQ(a.Verifier.size(), 43u);
    EXPECT_EQ(a.Challenge, PKCEChallengeOf(a.Verifier));
    EXPECT_NE(a.Verifier, b.Verifier);
    EXPECT_NE(RandomState(), RandomState());
}

}  // namespace
}  // namespace kavrel
