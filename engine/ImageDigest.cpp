#include "engine/ImageDigest.h"

#include <openssl/evp.h>

std::string Sha256Hex(const std::uint8_t* bytes, std::size_t length) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes, length, digest, &size, EVP_sha256(), nullptr) != 1)
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}
