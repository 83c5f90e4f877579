// The main window's folder rule with Linux paths.
#include <gtest/gtest.h>

#include "ui/windows/MainWndRules.h"

using namespace MainWndRules;

TEST(MainWndRules, CustomFolderGetsTheProductSubFolderUnlessItIsTheProposal) {
    const std::wstring proposal = L"/home/ann/.local/share/Pelmora";
    EXPECT_EQ(CustomFolderFor(proposal, proposal), proposal);
    EXPECT_EQ(CustomFolderFor(proposal + L"/", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"/home/ann/.local/share/./Pelmora", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"/srv/apps", proposal), L"/srv/apps/Pelmora");
    EXPECT_EQ(CustomFolderFor(L"/srv/apps/", proposal), L"/srv/apps/Pelmora");
    // The proposal's parent is another folder: the product still gets its own.
    EXPECT_EQ(CustomFolderFor(L"/home/ann/.local/share", proposal), L"/home/ann/.local/share/Pelmora");
}

TEST(MainWndRules, TheProductsExecutableIsJoinedWithASlash) {
    EXPECT_EQ(ProductExeIn(L"/srv/apps/Pelmora"), L"/srv/apps/Pelmora/compressor.exe");
}
