#include "FlitePronouncer.h"

#include <QSet>
#include <QStringList>

extern "C" {
#include <flite/cst_lexicon.h>
#include <flite/cst_val.h>
cst_lexicon *cmu_lex_init(void);
}

namespace talvex {

namespace {

// The phones of the en-US acoustic model.
const QSet<QString> &modelPhones()
{
    static const QSet<QString> phones{
        "AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D", "DH", "EH", "ER", "EY",
        "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M", "N",  "NG", "OW", "OY",
        "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V", "W",  "Y",  "Z",  "ZH",
    };
    return phones;
}

QString toModelPhone(QString phone)
{
    while (!phone.isEmpty() && phone.back().isDigit()) // stress marks
        phone.chop(1);
    phone = phone.toUpper();
    if (phone == QLatin1String("AX"))
        return QStringLiteral("AH");
    if (phone == QLatin1String("AXR"))
        return QStringLiteral("ER");
    return phone;
}

} // namespace

std::optional<QString> FlitePronouncer::pronounce(const QString &word)
{
    static std::mutex mutex; // flite's lexicon is not documented as thread-safe
    static cst_lexicon *lexicon = nullptr;

    const QString lower = word.toLower();
    for (const QChar c : lower)
        if (!(c >= QLatin1Char('a') && c <= QLatin1Char('z')) && c != QLatin1Char('\''))
            return std::nullopt;
    if (lower.isEmpty())
        return std::nullopt;

    std::lock_guard lock(mutex);
    if (!lexicon)
        lexicon = cmu_lex_init();
    const QByteArray text = lower.toUtf8();
    cst_val *phones = lex_lookup(lexicon, text.constData(), nullptr, nullptr);
    if (!phones)
        return std::nullopt;
    QStringList result;
    bool usable = true;
    for (const cst_val *p = phones; p; p = val_cdr(p)) {
        const QString phone = toModelPhone(QString::fromUtf8(val_string(val_car(p))));
        if (phone == QLatin1String("PAU"))
            continue;
        if (!modelPhones().contains(phone)) {
            usable = false;
            break;
        }
        result << phone;
    }
    delete_val(phones);
    if (!usable || result.isEmpty())
        return std::nullopt;
    return result.join(QLatin1Char(' '));
}

} // namespace talvex
