#pragma once

#include <QByteArray>
#include <QString>

namespace talvex::test {

/// Signs as scripts/sign-feed does (Ed25519, base64 text), with a private key in PEM.
class TestSigner final {
  public:
    /// The test key pair of tests/data/update-test-key.
    static TestSigner testKey();
    /// A key pair made now, that nothing trusts.
    static TestSigner fresh();

    QByteArray sign(const QByteArray &message) const;
    QByteArray publicKey() const { return m_publicKey; }

  private:
    QByteArray m_pem;
    QByteArray m_publicKey;
};

} // namespace talvex::test
