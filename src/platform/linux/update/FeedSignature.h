#pragma once

#include <QByteArray>

namespace talvex::update {

/// Ed25519 signatures of release feeds, checked with OpenSSL against a public key built into Talvex.
class FeedSignature final {
  public:
    /// `publicKey` is the base64 text of the raw 32-byte key.
    explicit FeedSignature(const QByteArray &publicKey);

    /// The key was usable.
    bool isValid() const { return m_key.size() == 32; }

    /// Whether `signatureFile` (feed.json.sig: the 64-byte signature in base64, surrounding white
    /// space allowed) signs exactly `message`.
    bool verifies(const QByteArray &message, const QByteArray &signatureFile) const;

  private:
    QByteArray m_key;
};

} // namespace talvex::update
