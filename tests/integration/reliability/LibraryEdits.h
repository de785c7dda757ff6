#pragma once

#include "store/Library.h"

#include <cstdint>

namespace talvex::test {

/// A reproducible run of library edits, as a user makes them over a long time: the same seed and
/// step number always give the same edit, so a process that writes the edits and one that checks
/// the file can agree on every document in between without talking.
class LibraryEdits final {
  public:
    explicit LibraryEdits(std::uint64_t seed) : m_seed(seed) {}

    /// The document the run starts from: `transcripts` dictations, newest first.
    Library base(int transcripts) const;

    /// Applies edit number `step` (counting from 0): mostly a new dictation, sometimes a settings
    /// change, sometimes a restored backup that brings old and new transcripts.
    void apply(Library &library, std::int64_t step) const;

  private:
    std::uint64_t m_seed;
};

} // namespace talvex::test
