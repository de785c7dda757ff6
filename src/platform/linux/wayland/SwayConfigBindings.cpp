#include "SwayConfigBindings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <xkbcommon/xkbcommon.h>

namespace talvex::wayland {

namespace {

constexpr int deepestInclude = 8;

struct Reader {
    const SwayConfigBindings::ReadFile &readFile;
    const SwayConfigBindings::ExpandPattern &expand;
    std::map<QString, QString> variables;
    std::vector<ConfiguredBinding> bindings;
    QStringList visited;
};

// Sway's modifier names, by the bit they stand for; 0 for the ones we never bind.
std::optional<std::uint32_t> modifierBit(const QString &name)
{
    static const std::map<QString, std::uint32_t> bits = {
        {QStringLiteral("shift"), SwayBindings::shiftBit},
        {QStringLiteral("ctrl"), SwayBindings::controlBit},
        {QStringLiteral("control"), SwayBindings::controlBit},
        {QStringLiteral("mod1"), SwayBindings::altBit},
        {QStringLiteral("alt"), SwayBindings::altBit},
        {QStringLiteral("mod4"), SwayBindings::superBit},
        {QStringLiteral("super"), SwayBindings::superBit},
        {QStringLiteral("logo"), SwayBindings::superBit},
        {QStringLiteral("mod2"), 0},
        {QStringLiteral("mod3"), 0},
        {QStringLiteral("mod5"), 0},
        {QStringLiteral("lock"), 0},
        {QStringLiteral("caps"), 0},
    };
    const auto it = bits.find(name.toLower());
    if (it == bits.end())
        return std::nullopt;
    return it->second;
}

// Splits a line into words the way sway does: whitespace separates, quotes group.
QStringList words(const QString &line)
{
    QStringList result;
    QString current;
    QChar quote;
    bool inWord = false;
    for (const QChar c : line) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                current += c;
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord)
                result << current;
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord)
        result << current;
    return result;
}

QString substitute(const QString &line, const std::map<QString, QString> &variables)
{
    // Longest names first, so $mod2 is not read as $mod followed by "2".
    std::vector<std::pair<QString, QString>> ordered(variables.begin(), variables.end());
    std::sort(ordered.begin(), ordered.end(),
              [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    QString result = line;
    for (const auto &[name, value] : ordered)
        result.replace(name, value);
    return result;
}

// One "COMBO COMMAND" of a bindsym/bindcode, with the flags already taken off.
void addBinding(Reader &reader, bool byKeycode, const QStringList &flags, const QString &combination)
{
    static const QStringList mouseOnly = {QStringLiteral("--whole-window"), QStringLiteral("--border"),
                                          QStringLiteral("--exclude-titlebar")};
    for (const QString &flag : flags) {
        if (mouseOnly.contains(flag))
            return;
    }
    ConfiguredBinding binding;
    binding.byKeycode = byKeycode;
    binding.combination = combination;
    for (const QString &part : combination.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        if (part.startsWith(QLatin1String("Group"), Qt::CaseInsensitive))
            continue; // the layout group does not change which key it is
        if (const auto bit = modifierBit(part)) {
            binding.modifiers |= *bit;
            binding.otherModifiers = binding.otherModifiers || *bit == 0;
        } else {
            binding.keys << part;
        }
    }
    if (!binding.keys.isEmpty())
        reader.bindings.push_back(binding);
}

// A binding line after its command word: flags, then the combination, then the command.
void addBindingLine(Reader &reader, bool byKeycode, const QStringList &arguments)
{
    QStringList flags;
    qsizetype i = 0;
    while (i < arguments.size() && arguments[i].startsWith(QLatin1String("--")))
        flags << arguments[i++];
    if (i < arguments.size())
        addBinding(reader, byKeycode, flags, arguments[i]);
}

void read(Reader &reader, const QString &text, const QString &folder, int depth);

void include(Reader &reader, const QString &pattern, const QString &folder, int depth)
{
    if (depth >= deepestInclude)
        return;
    QString absolute = pattern;
    if (absolute.startsWith(QLatin1String("~/")))
        absolute = QDir::homePath() + absolute.mid(1);
    else if (!QDir::isAbsolutePath(absolute))
        absolute = QDir(folder).filePath(absolute);
    for (const QString &path : reader.expand(absolute)) {
        const QString canonical = QFileInfo(path).absoluteFilePath();
        if (reader.visited.contains(canonical))
            continue; // sway reads a file once
        reader.visited << canonical;
        if (const auto text = reader.readFile(canonical))
            read(reader, *text, QFileInfo(canonical).absolutePath(), depth + 1);
    }
}

void read(Reader &reader, const QString &text, const QString &folder, int depth)
{
    QString joined = text;
    joined.replace(QRegularExpression(QStringLiteral("\\\\\\r?\\n")), QStringLiteral(" "));
    // What each open block is: a mode and anything else are skipped; a binding block reads its lines.
    enum class Block { mode, bindsym, bindcode, other };
    std::vector<Block> blocks;
    std::vector<QStringList> blockFlags;
    for (QString line : joined.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line == QLatin1String("}")) {
            if (!blocks.empty()) {
                blocks.pop_back();
                blockFlags.pop_back();
            }
            continue;
        }
        QStringList parts = words(line);
        if (parts.isEmpty())
            continue;
        const QString command = parts.first().toLower();
        if (command != QLatin1String("set"))
            parts = words(substitute(line, reader.variables));
        if (parts.isEmpty())
            continue;

        const bool opens = parts.last() == QLatin1String("{");
        if (opens) {
            parts.removeLast();
            Block kind = Block::other;
            if (command == QLatin1String("mode"))
                kind = Block::mode;
            else if (command == QLatin1String("bindsym"))
                kind = Block::bindsym;
            else if (command == QLatin1String("bindcode"))
                kind = Block::bindcode;
            blocks.push_back(kind);
            blockFlags.push_back(parts.mid(1));
            continue;
        }
        const bool inDefaultMode =
            std::none_of(blocks.begin(), blocks.end(), [](Block block) { return block == Block::mode; });
        if (!blocks.empty()) {
            const Block inner = blocks.back();
            if ((inner == Block::bindsym || inner == Block::bindcode) && inDefaultMode)
                addBindingLine(reader, inner == Block::bindcode, blockFlags.back() + parts);
            continue;
        }
        if (command == QLatin1String("set") && parts.size() >= 3 && parts[1].startsWith(QLatin1Char('$'))) {
            reader.variables[parts[1]] = QStringList(parts.mid(2)).join(QLatin1Char(' '));
        } else if (command == QLatin1String("bindsym") || command == QLatin1String("bindcode")) {
            addBindingLine(reader, command == QLatin1String("bindcode"), parts.mid(1));
        } else if (command == QLatin1String("include") && parts.size() >= 2) {
            include(reader, QStringList(parts.mid(1)).join(QLatin1Char(' ')), folder, depth);
        }
    }
}

std::optional<std::uint32_t> keysymNamed(const QString &name)
{
    const QByteArray bytes = name.toUtf8();
    xkb_keysym_t keysym = xkb_keysym_from_name(bytes.constData(), XKB_KEYSYM_NO_FLAGS);
    if (keysym == XKB_KEY_NoSymbol)
        keysym = xkb_keysym_from_name(bytes.constData(), XKB_KEYSYM_CASE_INSENSITIVE);
    if (keysym == XKB_KEY_NoSymbol)
        return std::nullopt;
    return keysym;
}

} // namespace

std::vector<ConfiguredBinding> SwayConfigBindings::parse(const QString &text, const QString &folder,
                                                         const ReadFile &readFile,
                                                         const ExpandPattern &expand)
{
    Reader reader{readFile, expand, {}, {}, {}};
    read(reader, text, folder, 0);
    return std::move(reader.bindings);
}

std::vector<ConfiguredBinding> SwayConfigBindings::parse(const QString &text, const QString &folder)
{
    const ReadFile readFile = [](const QString &path) -> std::optional<QString> {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return QString::fromUtf8(file.readAll());
    };
    const ExpandPattern expand = [](const QString &pattern) {
        const QFileInfo info(pattern);
        QStringList paths;
        if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')))
            return info.exists() ? QStringList{info.absoluteFilePath()} : QStringList{};
        const QDir directory = info.dir();
        for (const QString &name : directory.entryList({info.fileName()}, QDir::Files, QDir::Name))
            paths << directory.filePath(name);
        return paths;
    };
    return parse(text, folder, readFile, expand);
}

bool SwayConfigBindings::conflicts(const ConfiguredBinding &configured, const SwayBinding &ours,
                                   const XkbKeymap &keymap)
{
    if (configured.otherModifiers || configured.keys.size() != 1)
        return false;
    const QString &key = configured.keys.first();
    if (configured.byKeycode) {
        bool ok = false;
        const std::uint32_t keycode = key.toUInt(&ok);
        return ok && keycode == ours.keycode && configured.modifiers == ours.modifiers;
    }
    const auto keysym = keysymNamed(key);
    if (!keysym)
        return false;
    const std::vector<std::uint32_t> firstLevel = keymap.keycodesFor(*keysym);
    if (configured.modifiers == ours.modifiers &&
        std::find(firstLevel.begin(), firstLevel.end(), ours.keycode) != firstLevel.end())
        return true;
    // Sway also matches the symbol a key types with its modifiers applied, Shift then consumed:
    // Shift+1 is "exclam". A key whose first level is that symbol too consumes no Shift.
    const bool onFirstLevel =
        std::find(firstLevel.begin(), firstLevel.end(), ours.keycode) != firstLevel.end();
    if (!onFirstLevel && (ours.modifiers & SwayBindings::shiftBit) &&
        configured.modifiers == (ours.modifiers & ~SwayBindings::shiftBit)) {
        const std::vector<std::uint32_t> anyLevel = keymap.keycodesFor(*keysym, true);
        return std::find(anyLevel.begin(), anyLevel.end(), ours.keycode) != anyLevel.end();
    }
    return false;
}

} // namespace talvex::wayland
