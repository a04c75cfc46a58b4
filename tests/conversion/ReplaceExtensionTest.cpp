#include "ReplaceExtension.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace kartovo {
namespace {

TEST(ReplaceExtension, ReplacesOnlyTheLastElementsExtension) {
    struct Case {
        const char* source;
        const char* destination;
    };
    const Case cases[] = {
        {"C:\\data\\contacts.vcf", "C:\\data\\contacts.csv"},
        {"C:\\old.data\\contacts", "C:\\old.data\\contacts.csv"},
        {"C:\\a\\b.tar.vcf", "C:\\a\\b.tar.csv"},
        {"C:\\a\\name.", "C:\\a\\name.csv"},
        {"C:\\x\\a.表", "C:\\x\\a.csv"},
        {"C:\\表\\contacts", "C:\\表\\contacts.csv"},
        {"C:\\ソ\\contacts", "C:\\ソ\\contacts.csv"},
        {"C:\\a\\.vcf", "C:\\a\\.csv"},
        {"C:\\a\\x.CSV", "C:\\a\\x.csv"},
        {"/home/u/old.d/contacts", "/home/u/old.d/contacts.csv"},
        {"/home/u/連絡先.vcf", "/home/u/連絡先.csv"},
        {"D:file", "D:file.csv"},
        {"D:.vcf", "D:.csv"},
        {"contacts", "contacts.csv"},
        {"", ".csv"},
    };
    for (const Case& c : cases) {
        const auto source = test::U8Path(c.source);
        EXPECT_EQ(ReplaceExtension(source, ".csv"), test::U8Path(c.destination)) << c.source;
    }
}

}  // namespace
}  // namespace kartovo
