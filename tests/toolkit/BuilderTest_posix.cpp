// The layout builder's warnings reach the diagnostic trace, which is standard error on Linux.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TestSkin.h"
#include "toolkit/LayoutBuilder.h"
#include "toolkit/PaintManager.h"
#include "toolkit/SkinResources.h"

using namespace Toolkit;

TEST(LayoutBuilder_Trace, UnknownAttributesAreTracedWithTheirPlace) {
    const std::string dir = TestSkin::PrivateFolder("qv_unknown_attr_trace");
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/typo.xml") << "<Window size=\"10,10\">\n  <VerticalLayout>\n"
                                        "    <Label name=\"a\" bkcolr=\"#FFFF0000\" text=\"x\"/>\n"
                                        "  </VerticalLayout>\n</Window>";
    ASSERT_TRUE(SkinResources::Instance().OpenFolder(dir));
    CPaintManagerUI m;
    testing::internal::CaptureStderr();
    BuildResult r = CLayoutBuilder::BuildFromResource(L"typo.xml", &m, nullptr);
    const std::string trace = testing::internal::GetCapturedStderr();
    SkinResources::Instance().Close();
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(r.ok);
    EXPECT_NE(trace.find("typo.xml:3:21: unknown attribute 'bkcolr' of 'Label' kept as a custom attribute"),
              std::string::npos)
        << trace;
}
