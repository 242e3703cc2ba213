#include "platform/shell/OsRelease.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(OsRelease, ProductNameFromPrettyNameOrName)
{
    TempDir dir;
    writeFile(dir.file("full"), "# comment\nNAME=\"Debian GNU/Linux\"\n"
                                "PRETTY_NAME=\"Debian GNU/Linux 13 \\\"trixie\\\"\"\nID=debian\n");
    EXPECT_EQ(shell::osProductName(dir.file("full")), "Debian GNU/Linux 13 \"trixie\"");
    writeFile(dir.file("nameonly"), "NAME='Arch Linux'\nID=arch\n");
    EXPECT_EQ(shell::osProductName(dir.file("nameonly")), "Arch Linux");
    writeFile(dir.file("bare"), "ID=x\nPRETTY_NAME=Plain\n");
    EXPECT_EQ(shell::osProductName(dir.file("bare")), "Plain");
    EXPECT_EQ(shell::osProductName(dir.file("missing")), "");
}
