#include "FeedSignature.h"

#include <memory>
#include <openssl/evp.h>

namespace talvex::update {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

QByteArray strictBase64(const QByteArray &text)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? *decoded : QByteArray();
}

} // namespace

FeedSignature::FeedSignature(const QByteArray &publicKey) : m_key(strictBase64(publicKey))
{
}

bool FeedSignature::verifies(const QByteArray &message, const QByteArray &signatureFile) const
{
    const QByteArray signature = strictBase64(signatureFile);
    if (!isValid() || signature.size() != 64)
        return false;
    std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(m_key.constData()), m_key.size()));
    std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    // Ed25519 signs the message itself, in one call.
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
                            std::size_t(signature.size()),
                            reinterpret_cast<const unsigned char *>(message.constData()),
                            std::size_t(message.size())) == 1;
}

} // namespace talvex::update
