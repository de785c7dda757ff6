// The preferred trigger we ask the GlobalShortcuts portal for.
#include "PortalTrigger.h"

#include <gtest/gtest.h>

namespace talvex::portal {
namespace {

TEST(PortalTrigger, NamesModifiersAndTheKeyAsTheShortcutsSpecificationDoes)
{
    const std::vector<std::tuple<std::uint32_t, std::uint32_t, std::optional<QString>>> cases = {
        {49, 0x1200, QStringLiteral("CTRL+SHIFT+space")},
        {2, 0x1B00, QStringLiteral("CTRL+ALT+SHIFT+LOGO+d")},
        {101, 0, QStringLiteral("F9")},
        {27, 0x0800, QStringLiteral("ALT+minus")},
        {36, 0x0100, QStringLiteral("LOGO+Return")},
        {49, 0x1000000, std::nullopt},
        {0xFFFFFFFF, 0x1800, std::nullopt},
        {0x10000 + 3, 0x1000, std::nullopt},
    };
    for (const auto &[code, modifiers, trigger] : cases)
        EXPECT_EQ(portalTrigger(code, modifiers), trigger) << code << " " << modifiers;
}

} // namespace
} // namespace talvex::portal
