// The main window's folder rule with Windows paths: either separator, and the product's folder
// joined with a backslash.
#include <gtest/gtest.h>

#include "ui/windows/MainWndRules.h"

using namespace MainWndRules;

TEST(MainWndRules, CustomFolderGetsTheProductSubFolderUnlessItIsTheProposal) {
    const std::wstring proposal = L"C:\\Program Files (x86)\\Pelmora";
    EXPECT_EQ(CustomFolderFor(proposal, proposal), proposal);
    EXPECT_EQ(CustomFolderFor(proposal + L"\\", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"C:/Program Files (x86)/Pelmora", proposal), proposal);
    // Windows names folders without regard to letter case: the proposal typed in other letters
    // is still the proposal, not a folder to put another "Pelmora" in.
    EXPECT_EQ(CustomFolderFor(L"c:\\program files (x86)\\pelmora", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"D:\\Apps", proposal), L"D:\\Apps\\Pelmora");
    EXPECT_EQ(CustomFolderFor(L"D:\\Apps\\", proposal), L"D:\\Apps\\Pelmora");
    // A drive's root gets the product's folder straight below it.
    EXPECT_EQ(CustomFolderFor(L"D:\\", proposal), L"D:\\Pelmora");
    // The proposal's parent is another folder: the product still gets its own.
    EXPECT_EQ(CustomFolderFor(L"C:\\Program Files (x86)", proposal), L"C:\\Program Files (x86)\\Pelmora");
}
