#pragma once

#include <QString>
#include <mutex>
#include <optional>

namespace talvex {

/// English pronunciations in CMU phones (the set the PocketSphinx en-US model uses) from flite's
/// CMU lexicon, falling back to its letter-to-sound rules for words the lexicon lacks.
class FlitePronouncer final {
  public:
    /// Space-separated phones for `word` (letters and apostrophes), e.g. "T AE L V EH K S", or
    /// nothing when the word cannot be pronounced. Thread-safe.
    static std::optional<QString> pronounce(const QString &word);
};

} // namespace talvex
