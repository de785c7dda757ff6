#include "TestSigner.h"

#include <QFile>
#include <memory>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <stdexcept>

namespace talvex::test {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

Key load(const QByteArray &pem)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())),
                                                  BIO_free);
    return Key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
}

QByteArray publicOf(EVP_PKEY *key)
{
    unsigned char raw[32];
    std::size_t length = sizeof raw;
    if (EVP_PKEY_get_raw_public_key(key, raw, &length) != 1)
        throw std::runtime_error("no public key");
    return QByteArray(reinterpret_cast<const char *>(raw), qsizetype(length)).toBase64();
}

} // namespace

TestSigner TestSigner::testKey()
{
    QFile file(QStringLiteral(TALVEX_TEST_KEY_FOLDER "/test-private-key.pem"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the test key is missing");
    TestSigner signer;
    signer.m_pem = file.readAll();
    signer.m_publicKey = publicOf(load(signer.m_pem).get());
    return signer;
}

TestSigner TestSigner::fresh()
{
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free);
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    TestSigner signer;
    signer.m_pem = QByteArray(data, size);
    signer.m_publicKey = publicOf(key.get());
    return signer;
}

QByteArray TestSigner::sign(const QByteArray &message) const
{
    Key key = load(m_pem);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char signature[64];
    std::size_t length = sizeof signature;
    if (EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), signature, &length,
                       reinterpret_cast<const unsigned char *>(message.constData()),
                       std::size_t(message.size())) != 1)
        throw std::runtime_error("signing failed");
    return QByteArray(reinterpret_cast<const char *>(signature), qsizetype(length)).toBase64() + '\n';
}

} // namespace talvex::test
