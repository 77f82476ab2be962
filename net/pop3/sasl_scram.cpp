#include "net/pop3/sasl_scram.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "base/base64.h"
#include "base/integer.h"
#include "net/pop3/sasl_prep.h"

namespace kavrel {
namespace {

using TDigest = std::array<unsigned char, SHA256_DIGEST_LENGTH>;

constexpr char kMalformed[] = "SCRAM-SHA-256: the server's challenge cannot be read";

std::string AsString(const TDigest& d) { return std::string(d.begin(), d.end()); }

TDigest Hmac(std::string_view key, std::string_view data) {
    TDigest out{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(data.data()), data.size(), out.data(), &length);
    return out;
}

TDigest Sha256(const TDigest& data) {
    TDigest out{};
    SHA256(data.data(), data.size(), out.data());
    return out;
}

// The attributes "a=value" of a SCRAM message in their order.
std::vector<std::pair<char, std::string>> Attributes(const std::string& message) {
    std::vector<std::pair<char, std::string>> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = message.find(',', start);
        const std::string part = message.substr(start, comma - start);
        if (part.size() < 2 || part[1] != '=') throw ESASLError(kMalformed);
        out.emplace_back(part[0], part.substr(2));
        if (comma == std::string::npos) return out;
        start = comma + 1;
    }
}

}  // namespace

TSASLScramSHA256::TSASLScramSHA256(std::string AUsername, std::string APassword,
                                   std::string AClientNonce)
    : username_(std::move(AUsername)),
      password_(std::move(APassword)),
      nonce_(std::move(AClientNonce)) {
    if (nonce_.empty()) {
        // 144 random bits; base64 holds no ',' that would end the attribute.
        std::array<unsigned char, 18> random{};
        if (RAND_bytes(random.data(), static_cast<int>(random.size())) != 1) {
            throw ESASLError("SCRAM-SHA-256: no random numbers for the nonce");
        }
        nonce_ = Base64Encode(
            std::string_view(reinterpret_cast<const char*>(random.data()), random.size()));
    }
}

std::string TSASLScramSHA256::Respond(const std::string& AChallenge) {
    switch (step_++) {
        case 0:
            // No channel binding and no authorization identity.
            clientFirstBare_ = "n=" + SASLName(username_) + ",r=" + nonce_;
            return "n,," + clientFirstBare_;
        case 1:
            return ClientFinal(AChallenge);
        case 2:
            CheckServerFinal(AChallenge);
            return {};
        default:
            throw ESASLError("SCRAM-SHA-256: the server asked again after proving itself");
    }
}

std::string TSASLScramSHA256::ClientFinal(const std::string& AServerFirst) {
    std::optional<std::string> nonce, salt;
    std::optional<long> iterations;
    for (const auto& [name, value] : Attributes(AServerFirst)) {
        if (name == 'm') {
            throw ESASLError("SCRAM-SHA-256: the server requires an extension this program lacks");
        }
        if (name == 'r') nonce = value;
        if (name == 's') salt = Base64Decode(value);
        if (name == 'i') {
            const auto count = TryDecimalToInt(value);
            if (count) iterations = *count;
        }
    }
    if (!nonce || !salt || salt->empty() || !iterations) throw ESASLError(kMalformed);
    // The server's nonce continues ours, or this is a replay of another exchange.
    if (nonce->size() <= nonce_.size() || nonce->compare(0, nonce_.size(), nonce_) != 0) {
        throw ESASLError("SCRAM-SHA-256: the server's nonce does not continue the client's");
    }
    if (*iterations < 1 || *iterations > kMaxIterations) {
        throw ESASLError("SCRAM-SHA-256: the server asks for " + std::to_string(*iterations) +
                         " iterations");
    }

    const std::string password = SASLPrep(password_);
    TDigest salted{};
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt->data()),
                          static_cast<int>(salt->size()), static_cast<int>(*iterations),
                          EVP_sha256(), static_cast<int>(salted.size()), salted.data()) != 1) {
        throw ESASLError("SCRAM-SHA-256: the password could not be hashed");
    }
    const std::string saltedKey = AsString(salted);
    const TDigest clientKey = Hmac(saltedKey, "Client Key");
    const TDigest storedKey = Sha256(clientKey);
    // "biws" is base64 of the GS2 header "n,,".
    const std::string withoutProof = "c=biws,r=" + *nonce;
    const std::string authMessage = clientFirstBare_ + "," + AServerFirst + "," + withoutProof;
    const TDigest clientSignature = Hmac(AsString(storedKey), authMessage);
    TDigest proof{};
    for (std::size_t i = 0; i < proof.size(); ++i) proof[i] = clientKey[i] ^ clientSignature[i];
    serverSignature_ = AsString(Hmac(AsString(Hmac(saltedKey, "Server Key")), authMessage));
    OPENSSL_cleanse(salted.data(), salted.size());
    return withoutProof + ",p=" + Base64Encode(AsString(proof));
}

void TSASLScramSHA256::CheckServerFinal(const std::string& AServerFinal) {
    const auto attributes = Attributes(AServerFinal);
    const auto& [name, value] = attributes.front();
    if (name == 'e') throw ESASLError("SCRAM-SHA-256: the server refused: " + value);
    const std::optional<std::string> signature = name == 'v' ? Base64Decode(value) : std::nullopt;
    if (!signature) throw ESASLError(kMalformed);
    if (signature->size() != serverSignature_.size() ||
        CRYPTO_memcmp(signature->data(), serverSignature_.data(), signature->size()) != 0) {
        throw ESASLError(
            "SCRAM-SHA-256: the server could not prove that it knows the password; it may not "
            "be the server it claims to be");
    }
    verified_ = true;
}

}  // namespace kavrel
