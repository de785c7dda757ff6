#include "Shortcut.h"

#include <QStringList>
#include <array>
#include <cmath>
#include <utility>

namespace talvex {

namespace {

struct CodeNumber {
    std::uint32_t code;
    int number;
};

// Stored key codes of F1 to F20.
constexpr std::array<CodeNumber, 20> functionKeys{{
    {122, 1},  {120, 2},  {99, 3},   {118, 4},  {96, 5},   {97, 6},   {98, 7},  {100, 8}, {101, 9}, {109, 10},
    {103, 11}, {111, 12}, {105, 13}, {107, 14}, {113, 15}, {106, 16}, {64, 17}, {79, 18}, {80, 19}, {90, 20},
}};

std::optional<int> functionKeyNumber(std::uint32_t code)
{
    for (const auto &key : functionKeys) {
        if (key.code == code)
            return key.number;
    }
    return std::nullopt;
}

// Keys whose event text is blank, a control character or an arrow glyph the user would not read.
std::optional<QString> specialKeyLabel(std::uint32_t code)
{
    switch (code) {
    case 49:
        return QStringLiteral("Space");
    case 36:
        return QStringLiteral("Return");
    case 48:
        return QStringLiteral("Tab");
    case 51:
        return QStringLiteral("Delete");
    case 117:
        return QStringLiteral("Forward Delete");
    case 53:
        return QStringLiteral("Esc");
    case 115:
        return QStringLiteral("Home");
    case 119:
        return QStringLiteral("End");
    case 116:
        return QStringLiteral("Page Up");
    case 121:
        return QStringLiteral("Page Down");
    case 123:
        return QStringLiteral("\u2190");
    case 124:
        return QStringLiteral("\u2192");
    case 126:
        return QStringLiteral("\u2191");
    case 125:
        return QStringLiteral("\u2193");
    case 76:
        return QStringLiteral("Enter");
    default:
        return std::nullopt;
    }
}

bool containsControlOrFormat(const QString &text)
{
    for (const char32_t scalar : text.toUcs4()) {
        const auto category = QChar::category(scalar);
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            return true;
    }
    return false;
}

std::optional<QString> labelCandidate(const std::optional<QString> &characters)
{
    if (!characters || containsControlOrFormat(*characters))
        return std::nullopt;
    return characters->toUpper(); // full case mapping: ß becomes SS
}

QString keyNumberLabel(std::uint32_t code)
{
    return QStringLiteral("Key ") + QString::number(code);
}

// Reads an unsigned 32-bit integer the way a strict decoder does: no fraction, no sign, no overflow.
std::optional<std::uint32_t> readUInt32(const QJsonObject &object, const QString &key, QString *error)
{
    const auto setError = [&](const QString &text) {
        if (error)
            *error = text;
    };
    if (!object.contains(key)) {
        setError(QStringLiteral("Shortcut is missing \"%1\".").arg(key));
        return std::nullopt;
    }
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) {
        setError(QStringLiteral("Shortcut \"%1\" is not a number.").arg(key));
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::floor(number) != number || number < 0 || number > 4294967295.0) {
        setError(QStringLiteral("Shortcut \"%1\" is not an unsigned 32-bit integer.").arg(key));
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

} // namespace

Shortcut::Shortcut(std::uint32_t code, std::uint32_t modifiers, QString keyLabel)
    : m_code(code), m_modifiers(modifiers), m_keyLabel(std::move(keyLabel))
{
}

Shortcut Shortcut::defaultShortcut()
{
    return Shortcut(49, controlKey | shiftKey, QStringLiteral("Space"));
}

Shortcut Shortcut::chord(std::uint32_t modifiers)
{
    return Shortcut(chordKeyCode, modifiers, QString());
}

std::uint32_t Shortcut::hotKeyModifiers(std::uint32_t keyFlags)
{
    std::uint32_t mask = 0;
    if (keyFlags & KeyFlags::control)
        mask |= controlKey;
    if (keyFlags & KeyFlags::option)
        mask |= optionKey;
    if (keyFlags & KeyFlags::shift)
        mask |= shiftKey;
    if (keyFlags & KeyFlags::command)
        mask |= commandKey;
    return mask;
}

std::uint32_t Shortcut::chordModifiers(std::uint32_t keyFlags)
{
    std::uint32_t mask = hotKeyModifiers(keyFlags);
    if (keyFlags & KeyFlags::function)
        mask |= chordFunctionFlag;
    return mask;
}

QString Shortcut::modifierLabel(std::uint32_t mask)
{
    QStringList names;
    if (mask & controlKey)
        names << QStringLiteral("Ctrl");
    if (mask & optionKey)
        names << QStringLiteral("Alt");
    if (mask & shiftKey)
        names << QStringLiteral("Shift");
    if (mask & commandKey)
        names << QStringLiteral("Super");
    if (mask & chordFunctionFlag)
        names << QStringLiteral("Fn");
    return names.join(QLatin1Char('+'));
}

QString Shortcut::displayText() const
{
    const QString modifierText = modifierLabel(m_modifiers);
    if (modifierText.isEmpty())
        return m_keyLabel;
    if (m_keyLabel.isEmpty())
        return modifierText;
    return modifierText + QLatin1Char('+') + m_keyLabel;
}

bool Shortcut::reservedForEditing() const
{
    const std::uint32_t mask = m_modifiers & knownModifiers;
    // Super is the described editing modifier; Control is the one Linux applications use.
    for (const std::uint32_t editing : {commandKey, controlKey}) {
        switch (m_code) {
        case 0: // A
        case 7: // X
        case 8: // C
        case 9: // V
            if (mask == editing)
                return true;
            break;
        case 6: // Z: undo and redo
            if (mask == editing || mask == (editing | shiftKey))
                return true;
            break;
        default:
            break;
        }
    }
    return false;
}

std::optional<Shortcut> Shortcut::fromEvent(const KeyEvent &event)
{
    const std::uint32_t modifiers = hotKeyModifiers(event.modifierFlags);
    const std::optional<int> functionNumber = functionKeyNumber(event.keyCode);
    if (!functionNumber && modifiers == 0)
        return std::nullopt;

    QString label;
    if (functionNumber)
        label = QStringLiteral("F") + QString::number(*functionNumber);
    else if (auto special = specialKeyLabel(event.keyCode))
        label = *special;
    else if (auto candidate = labelCandidate(event.charactersIgnoringModifiers))
        label = *candidate;
    if (label.isEmpty())
        label = keyNumberLabel(event.keyCode);
    return Shortcut(event.keyCode, modifiers, label);
}

QJsonObject Shortcut::toJson() const
{
    return QJsonObject{
        {QStringLiteral("code"), static_cast<double>(m_code)},
        {QStringLiteral("modifiers"), static_cast<double>(m_modifiers)},
        {QStringLiteral("keyLabel"), m_keyLabel},
    };
}

std::optional<Shortcut> Shortcut::fromJson(const QJsonValue &value, QString *error)
{
    if (value.isString()) {
        // Older files stored the shown text of one of three presets.
        const QString text = value.toString();
        if (text == QStringLiteral("\u2303\u21e7Space"))
            return defaultShortcut();
        if (text == QStringLiteral("\u2303\u2325D"))
            return Shortcut(2, controlKey | optionKey, QStringLiteral("D"));
        if (text == QStringLiteral("F9"))
            return Shortcut(101, 0, QStringLiteral("F9"));
        if (error)
            *error = QStringLiteral("Unknown legacy shortcut");
        return std::nullopt;
    }
    if (!value.isObject()) {
        if (error)
            *error = QStringLiteral("Shortcut is neither an object nor a legacy string.");
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    const auto code = readUInt32(object, QStringLiteral("code"), error);
    if (!code)
        return std::nullopt;
    const auto modifiers = readUInt32(object, QStringLiteral("modifiers"), error);
    if (!modifiers)
        return std::nullopt;
    const QJsonValue label = object.value(QStringLiteral("keyLabel"));
    if (!label.isString()) {
        if (error) {
            *error = object.contains(QStringLiteral("keyLabel"))
                         ? QStringLiteral("Shortcut \"keyLabel\" is not a string.")
                         : QStringLiteral("Shortcut is missing \"keyLabel\".");
        }
        return std::nullopt;
    }
    return Shortcut(*code, *modifiers, label.toString());
}

} // namespace talvex
