// Word lists: decoding and parsing never crash; entries are trimmed single lines; a failed import
// leaves the vocabulary exactly as it was. The entries also serve as spoken forms of replacement
// rules: every one must compile and replace a text that consists of exactly itself.
#include "store/Preferences.h"
#include "store/UnicodeText.h"
#include "store/WordList.h"

#include <cstdint>
#include <cstdlib>

using namespace talvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString decodeError;
    auto decoded = WordList::decodeText(bytes, &decodeError);
    if (!decoded && decodeError.isEmpty())
        std::abort();
    const QString text = decoded.value_or(QString::fromUtf8(bytes));

    auto entries = WordList::parse(text);
    if (entries) {
        for (const QString &entry : *entries) {
            if (entry.isEmpty() || UnicodeText::splitLines(entry).size() != 1)
                std::abort();
            if (UnicodeText::trimmed(entry, UnicodeText::isSpaceOrTab) != entry)
                std::abort();
        }
        for (const QString &entry : entries->mid(0, 4)) {
            const QString spoken = UnicodeText::trimmed(entry, UnicodeText::isWhitespaceOrNewline);
            if (spoken.isEmpty())
                continue;
            const WordReplacement rule{QUuid(), spoken, QStringLiteral("$0\\")};
            if (applyReplacements({rule}, spoken) != rule.written)
                std::abort(); // the escaped pattern failed to compile or to match its own text
        }
    }

    Preferences preferences;
    preferences.vocabulary = QStringLiteral("Ada\nGrace Hopper\n");
    const QString before = preferences.vocabulary;
    WordList::ImportError error;
    auto added = preferences.importVocabulary(text, &error);
    if (!added || *added == 0) {
        if (preferences.vocabulary != before)
            std::abort();
    } else if (preferences.vocabularyEntries().size() != 2 + *added) {
        std::abort();
    }
    return 0;
}
