// Skin resources from an in-memory zip, and the image cache.
#include <gtest/gtest.h>
#include <cairo.h>
#include <zip.h>

#include <cstring>

#include "support/TestSkin.h"
#include "toolkit/ImageCache.h"
#include "toolkit/ResourceSet.h"
#include "toolkit/SkinResources.h"

using namespace Toolkit;

namespace {
// An archive with the given (name, content) entries, built in memory.
std::vector<std::uint8_t> Zip(const std::vector<std::pair<std::string, std::string>>& entries) {
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_source_keep(src);
    zip_t* z = zip_open_from_source(src, ZIP_TRUNCATE, &err);
    for (const auto& [name, content] : entries) {
        char* copy = static_cast<char*>(malloc(content.size() + 1));
        std::memcpy(copy, content.data(), content.size());
        zip_source_t* data = zip_source_buffer(z, copy, content.size(), 1);
        zip_file_add(z, name.c_str(), data, ZIP_FL_ENC_UTF_8);
    }
    zip_close(z);
    zip_source_open(src);
    zip_source_seek(src, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(src);
    zip_source_seek(src, 0, SEEK_SET);
    std::vector<std::uint8_t> bytes(static_cast<size_t>(size));
    zip_source_read(src, bytes.data(), bytes.size());
    zip_source_close(src);
    zip_source_free(src);
    return bytes;
}

struct SkinGuard {
    ~SkinGuard() {
        SkinResources::Instance().Close();
        ImageCache::Instance().Clear();
    }
};
}  // namespace

TEST(SkinResources_Names, CaseAndBothSeparatorsAddressTheSameEntry) {
    SkinResources res;
    auto bytes = Zip({{"mainWnd.xml", "<Window/>"}, {"res/MessageBoxWnd/closeBtn1.png", "png"}, {"lang/en-US/texts.xml", "t"}});
    ASSERT_TRUE(res.OpenZip(bytes.data(), bytes.size()));
    std::string out;
    EXPECT_TRUE(res.Read(L"MainWnd.xml", out));
    EXPECT_EQ(out, "<Window/>");
    EXPECT_TRUE(res.Read(L"res\\MessageBoxWnd\\closebtn1.png", out));
    EXPECT_EQ(out, "png");
    EXPECT_TRUE(res.Read(L"RES/messageboxwnd\\CLOSEBTN1.PNG", out));
    EXPECT_TRUE(res.Read(L"lang\\Default\\..\\en-US\\texts.xml", out));
    EXPECT_TRUE(res.Read(L"\\mainWnd.xml", out));
    EXPECT_FALSE(res.Read(L"..\\mainWnd.xml", out));  // cannot leave the root
    EXPECT_FALSE(res.Read(L"res\\common\\minbtn4.png", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(res.Exists(L"res"));  // folders are not entries
}

TEST(SkinResources_Open, BadArchivesFailCleanly) {
    SkinResources res;
    std::string error;
    const char junk[] = "definitely not a zip archive";
    EXPECT_FALSE(res.OpenZip(junk, sizeof junk, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(res.IsOpen());
    EXPECT_FALSE(res.OpenZip(nullptr, 0, &error));
    std::string out;
    EXPECT_FALSE(res.Read(L"anything", out));
}

TEST(ImageCache_Decode, EachImageDecodedOnceAndMissesRemembered) {
    SkinGuard guard;
    const std::string dir = TestSkin::PrivateFolder("qv_skin_cache");
    ASSERT_TRUE(TestSkin::WriteFolder(dir));
    ASSERT_TRUE(SkinResources::Instance().OpenZipCopy(TestSkin::MakeZip(dir)));
    ImageCache& cache = ImageCache::Instance();
    cache.Clear();
    const size_t before = cache.DecodeCount();
    auto a = cache.Get(L"NINE.png");
    auto b = cache.Get(L"nine.png");
    auto masked = cache.Get(L"nine.png", true, 0xFF0000);
    ASSERT_TRUE(a);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_NE(masked.get(), a.get());
    EXPECT_EQ(a->Width(), 30);
    EXPECT_EQ(cache.DecodeCount(), before + 1);
    EXPECT_FALSE(cache.Get(L"missing.png"));
    EXPECT_FALSE(cache.Get(L"missing.png"));
    EXPECT_EQ(cache.DecodeCount(), before + 1);
    SharedResources().AddImageAlias(L"IDNine", L"nine.png");
    EXPECT_EQ(cache.Get(L"IDNine").get(), a.get());
    // Bytes that are no image decode to nothing.
    EXPECT_FALSE(ImageCache::Decode("not an image"));
}

TEST(ImageCache_Preload, AWorkerDecodesEachNameOnceAndGetTakesItsImages) {
    SkinGuard guard;
    const std::string dir = TestSkin::PrivateFolder("qv_skin_preload");
    ASSERT_TRUE(TestSkin::WriteFolder(dir));
    ASSERT_TRUE(SkinResources::Instance().OpenZipCopy(TestSkin::MakeZip(dir)));
    ImageCache& cache = ImageCache::Instance();
    cache.Clear();
    SharedResources().AddImageAlias(L"IDNine", L"nine.png");
    const size_t before = cache.DecodeCount();
    // Case, an alias and a repeat name one image; a missing name decodes nothing.
    ASSERT_TRUE(cache.Preload({L"nine.png", L"NINE.png", L"IDNine", L"missing.png", L"logo.png", L""}));
    auto nine = cache.Get(L"nine.png");
    ASSERT_TRUE(nine);
    EXPECT_EQ(nine->Width(), 30);
    EXPECT_EQ(cache.DecodeCount(), before + 2);
    EXPECT_EQ(cache.Get(L"IDNine").get(), nine.get());
    EXPECT_TRUE(cache.Get(L"logo.png"));
    EXPECT_FALSE(cache.Get(L"missing.png"));  // the miss is remembered too
    EXPECT_EQ(cache.DecodeCount(), before + 2);
    // The same pixels as a plain decode.
    std::string bytes;
    ASSERT_TRUE(SkinResources::Instance().Read(L"nine.png", bytes));
    auto direct = ImageCache::Decode(bytes);
    ASSERT_TRUE(direct);
    cairo_surface_flush(nine->Surface());
    const auto* a = cairo_image_surface_get_data(nine->Surface());
    const auto* b = cairo_image_surface_get_data(direct->Surface());
    EXPECT_EQ(std::memcmp(a, b, static_cast<size_t>(cairo_image_surface_get_stride(direct->Surface())) * 30), 0);

    // Names already held start no worker.
    EXPECT_FALSE(cache.Preload({L"nine.png", L"logo.png", L"missing.png"}));
    // At scale 2 the "@2x" file is decoded; a name without one keeps its held 1x image.
    ASSERT_TRUE(cache.Preload({L"dense.png", L"nine.png"}, 2));
    auto dense = cache.Get(L"dense.png", false, 0, 2);
    ASSERT_TRUE(dense);
    EXPECT_EQ(dense->Scale(), 2);
    EXPECT_EQ(dense->Width(), 20);
    EXPECT_EQ(cache.Get(L"nine.png", false, 0, 2).get(), nine.get());
    EXPECT_EQ(cache.DecodeCount(), before + 3);
}

TEST(ImageCache_Preload, ClearWaitsForTheWorkerAndDropsItsImages) {
    SkinGuard guard;
    const std::string dir = TestSkin::PrivateFolder("qv_skin_preload_clear");
    ASSERT_TRUE(TestSkin::WriteFolder(dir));
    ASSERT_TRUE(SkinResources::Instance().OpenZipCopy(TestSkin::MakeZip(dir)));
    ImageCache& cache = ImageCache::Instance();
    cache.Clear();
    ASSERT_TRUE(cache.Preload({L"bg.png", L"nine.png"}));
    cache.Clear();  // e.g. a language switch right after a window was made
    const size_t before = cache.DecodeCount();
    EXPECT_TRUE(cache.Get(L"bg.png"));
    EXPECT_EQ(cache.DecodeCount(), before + 1);
    // A preload started while another is under way takes the first one's images over first.
    ASSERT_TRUE(cache.Preload({L"nine.png"}));
    ASSERT_TRUE(cache.Preload({L"logo.png"}));
    EXPECT_TRUE(cache.Get(L"nine.png"));
    EXPECT_TRUE(cache.Get(L"logo.png"));
    EXPECT_EQ(cache.DecodeCount(), before + 3);
}
