#include "JobRecord.h"

#include <openssl/evp.h>

#include "platform/Files.h"

std::string ContentDigest(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &nDigest, EVP_sha256(), nullptr) != 1) {
        return std::string();
    }
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(nDigest * 2);
    for (unsigned int i = 0; i < nDigest; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

std::string FileDigest(const std::string& strPath)
{
    std::string bytes;
    return files::ReadFile(strPath, bytes) ? ContentDigest(bytes) : std::string();
}
