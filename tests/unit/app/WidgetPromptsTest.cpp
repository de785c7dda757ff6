#include "WidgetPrompts.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

TEST(WidgetPromptsTest, NameFiltersOfferExactlyTheRequestedTypesInOrder)
{
    EXPECT_EQ(WidgetPrompts::nameFilters({PromptFileType::json}),
              QStringList{QStringLiteral("JSON (*.json)")});
    EXPECT_EQ(WidgetPrompts::nameFilters({PromptFileType::plainText, PromptFileType::commaSeparatedText,
                                          PromptFileType::tabSeparatedText}),
              (QStringList{QStringLiteral("Plain text (*.txt *.text)"),
                           QStringLiteral("Comma-separated text (*.csv)"),
                           QStringLiteral("Tab-separated text (*.tsv *.tab)")}));
    EXPECT_TRUE(WidgetPrompts::nameFilters({}).isEmpty()) << "no types: every file";
}

} // namespace
} // namespace talvex
