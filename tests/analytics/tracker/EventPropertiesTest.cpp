// What each tracking operation puts on the wire, as the test collector receives it: event names,
// property keys, value types and presence rules, and what a refused record leaves behind.
#include <gtest/gtest.h>

#include <cmath>

#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/TrackerPlatform.h"
#include "analytics/tracker/source/src/VnException.h"
#include "tests/analytics/tracker/TrackerTestSupport.h"

namespace {

using namespace varnel::tracking;
using trackertest::json;

class EventPropertiesTest : public trackertest::TrackerTest {
protected:
    void Flush() { EXPECT_TRUE(collect::Sdk::Flush()); }

    // Runs `call` expecting a VnException with `message`, and checks that nothing was queued.
    template <typename Call>
    void ExpectRefused(Call&& call, const std::string& message, const std::string& function) {
        const std::size_t queued = collect::Sdk::Store()->Size();
        try {
            call();
            ADD_FAILURE() << "no exception; expected " << message;
        } catch (const VnException& e) {
            EXPECT_EQ(e.message(), message);
            EXPECT_EQ(e.function(), function) << message;
        }
        EXPECT_EQ(collect::Sdk::Store()->Size(), queued) << message;
    }

    VnContextProperties none_;
};

TEST_F(EventPropertiesTest, InstallerTaskCarriesItsABGroupAndEveryCommonProperty) {
    auto tracker = Start();
    VnContextProperties context;
    ASSERT_TRUE(VnContextProperties::isValidABValue("IN"));
    context.setProperty("vnc_ab", "IN", {static_cast<int>(VnEvent::Task)});
    VnEventTask task;
    task.name = "开始下载大包";
    task.elapsed = vnValue(0.0f);
    tracker->trackTask(task, &context);
    Flush();
    const json record = OnlyEvent("VnEventTask");
    const json expected = {
        {"$lib", "cpp"},           {"$lib_version", "0.7"},     {"vn_app_id", "Quorvex.downloader"},
        {"$app_id", "Quorvex.downloader"}, {"$app_version", "1.1.0"}, {"vn_app_store", "quorvex-installer"},
        {"vn_edition", "china"},   {"vn_dlapp_id", "Quorvex"},  {"vn_app_platform", platform::AppPlatform()},
        {"vn_track_type", "Client"}, {"vn_sdk_version", "3.3.4"}, {"vn_sdk", platform::SdkName()},
        {"$os", platform::OsName()}, {"$os_version", platform::OsVersion()}, {"vn_l10n_locale", "zh_CN"},
        {"vn_l10n_language", "zh"}, {"vn_l10n_country", "CN"},  {"$screen_height", 1080},
        {"$screen_width", 1920},   {"vn_task_name", "开始下载大包"}, {"vn_task_elapsed", 0},
        {"vnc_ab", "IN"},          {"$is_first_time", true}};
    EXPECT_EQ(record["properties"], expected) << "no vn_dlapp_version, vn_user_id, result, aname or reason";
    EXPECT_EQ(record["distinct_id"], tracker->snapshot().distinctId);
}

TEST_F(EventPropertiesTest, TaskAndFileSendOnlyFinalResultsWhileShareSendsAnyKnownResult) {
    auto tracker = Start();
    VnEventTask task;
    task.name = "t";
    for (int result : {1, 3, 7}) {
        task.result = vnValue(static_cast<VnResult>(result));
        task.aname = "r" + std::to_string(result);
        tracker->trackTask(task, &none_);
    }
    VnEventFile file;
    file.aname = "f";
    file.result = vnValue(VnResult::Unknown);
    tracker->trackFile(file, &none_);
    VnEventShare share;
    share.result = vnValue(VnResult::Unknown);
    tracker->trackShare(share, &none_);
    Flush();
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(Own(records[0]), (json{{"vn_task_name", "t"}, {"vn_aname", "r1"}, {"vn_task_result", "Cancelled"},
                                     {"$is_first_time", true}}));
    EXPECT_EQ(Own(records[1]), (json{{"vn_task_name", "t"}, {"vn_aname", "r3"}, {"$is_first_time", true}}));
    EXPECT_EQ(Own(records[2]), (json{{"vn_task_name", "t"}, {"vn_aname", "r7"}, {"$is_first_time", true}}));
    EXPECT_FALSE(Own(records[3]).contains("vn_result"));
    EXPECT_EQ(Own(records[4]), (json{{"vn_result", "Unknown"}, {"$is_first_time", true}}));

    share.result = vnValue(static_cast<VnResult>(7));
    ExpectRefused([&] { tracker->trackShare(share, &none_); }, "Unknown task result [7]!", "toString");
    ExpectRefused([&] { tracker->trackTask(VnEventTask{}, &none_); }, "vnEventTask.name is empty", "trackTask");
    ExpectRefused([&] { tracker->trackTask(task, nullptr); }, "properties is nullptr", "trackTask");
}

TEST_F(EventPropertiesTest, FileSendsPositiveSizesOnlyAndKeepsIntegersApartFromFloats) {
    auto tracker = Start();
    VnEventFile file;
    file.aname = "video";
    file.io = vnValue(VnIoType::Output);
    file.size = vnValue(0.0f);
    tracker->trackFile(file, &none_);
    file.size = vnValue(-3.0f);
    tracker->trackFile(file, &none_);
    file.size = vnValue(2.5f);
    file.duration = vnValue(90);
    file.fps = vnValue(29.5f);
    file.width = vnValue(1280);
    file.ext = "mp4";
    tracker->trackFile(file, &none_);
    Flush();
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(Own(records[0]), (json{{"vn_aname", "video"}, {"vn_io", "Output"}, {"$is_first_time", true}}));
    EXPECT_EQ(Own(records[1]), Own(records[0]));
    const json own = Own(records[2]);
    EXPECT_EQ(own, (json{{"vn_aname", "video"}, {"vn_io", "Output"}, {"vn_ext", "mp4"}, {"vn_size", 2.5},
                         {"vn_duration", 90}, {"vn_fps", 29.5}, {"vn_width", 1280}, {"$is_first_time", true}}));
    EXPECT_TRUE(own["vn_duration"].is_number_integer());
    EXPECT_TRUE(own["vn_size"].is_number_float());

    file.io = vnValue(static_cast<VnIoType>(2));
    ExpectRefused([&] { tracker->trackFile(file, &none_); }, "the io type is invalid", "toString");
    ExpectRefused([&] { tracker->trackFile(VnEventFile{}, &none_); }, "vnEventFile.aname is empty", "trackFile");
}

TEST_F(EventPropertiesTest, OrderNeedsPositiveAmountsAndSendsCurrentAmountsOnlyAboveZero) {
    auto tracker = Start();
    VnEventOrder order;
    order.vnSuitId = "suit";
    ExpectRefused([&] { tracker->trackOrder(order, &none_); }, "vnEventOrder.vnCurrency is nullptr", "trackOrder");
    order.vnCurrency = vnValue(VnCurrency::USD);
    order.paidAmount = 9.5f;
    ExpectRefused([&] { tracker->trackOrder(order, &none_); }, "vnEventOrder.originalAmount is less than zero",
                  "trackOrder");
    order.originalAmount = 12.0f;
    order.paidAmount = 0;
    ExpectRefused([&] { tracker->trackOrder(order, &none_); }, "vnEventOrder.paidAmount is less than zero",
                  "trackOrder");
    order.paidAmount = 9.5f;
    order.curPaidAmount = 66.5f;
    order.campaignCode = vnValue(7);
    tracker->trackOrder(order, &none_);
    Flush();
    EXPECT_EQ(Own(OnlyEvent("VnEventOrder")),
              (json{{"vn_suit_id", "suit"}, {"vn_currency", "USD"}, {"vn_paid_amount", 9.5}, {"vn_original_amount", 12},
                    {"vn_campaign_code", 7}, {"vn_cur_paid_amount", 66.5}, {"$is_first_time", true}}));
}

TEST_F(EventPropertiesTest, PaymentAcceptsZeroAmountsRefusesNegativeOnesAndRaisesTheVipLevel) {
    auto tracker = Start();
    VnEventPayment pay;
    pay.vnOrderId = "o-1";
    pay.vnCurrency = vnValue(VnCurrency::CNY);
    pay.paidPlatform = vnValue(VnPaidPlatform::Alipay);
    pay.result = vnValue(VnResult::Cancelled);
    ExpectRefused([&] { tracker->trackPayment(pay, &none_); }, "vnEventPayment.result is invalid", "trackPayment");
    pay.result = vnValue(VnResult::Success);
    pay.paidAmount = -1.5f;
    ExpectRefused([&] { tracker->trackPayment(pay, &none_); }, "paidAmount = -1.500000 is invalid", "trackPayment");
    pay.paidAmount = NAN;
    ExpectRefused([&] { tracker->trackPayment(pay, &none_); }, "paidAmount = nan is invalid", "trackPayment");
    pay.paidAmount = 0;
    pay.iapType = vnValue(static_cast<VnIapType>(0));
    ExpectRefused([&] { tracker->trackPayment(pay, &none_); }, "Unknown vnIapType [0]!", "toString");
    pay.iapType = vnValue(VnIapType::AutoRenewable);
    pay.paidPlatform = nullptr;
    ExpectRefused([&] { tracker->trackPayment(pay, &none_); }, "vnEventPayment.paidPlatform is nullptr", "trackPayment");
    pay.paidPlatform = vnValue(VnPaidPlatform::Paddle);
    EXPECT_EQ(tracker->snapshot().vipLevel, 0);

    tracker->trackPayment(pay, &none_);  // flushes by itself
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 5u) << "the payment and its four profile records";
    EXPECT_EQ(Own(records[0]), (json{{"vn_order_id", "o-1"}, {"vn_paid_platform", "Paddle"}, {"vn_currency", "CNY"},
                                     {"vn_paid_amount", 0}, {"vn_original_amount", 0}, {"vn_result", "Success"},
                                     {"vn_iap_type", "AutoRenewable"}, {"$is_first_time", true}}));
    EXPECT_EQ(records[1]["type"], "profile_increment");
    EXPECT_EQ(records[1]["properties"]["vn_paid_count"], 1);
    EXPECT_EQ(records[2]["properties"]["vn_consumption"], 0);
    EXPECT_EQ(records[3]["type"], "profile_set_once");
    EXPECT_TRUE(records[3]["properties"].contains("vn_first_paid_date"));
    EXPECT_EQ(records[4]["type"], "profile_set");
    EXPECT_EQ(tracker->snapshot().vipLevel, 1);
    EXPECT_EQ(trackertest::IniValue(ConfigFile(), "Base", "UserVipLevel"), "1");
}

TEST_F(EventPropertiesTest, UpdateSendsWhatItsOperationNeedsAndRefusesIncompleteEnds) {
    auto tracker = Start();
    tracker->trackUpdate(VnEventUpdate{VnUpdateOp::UpdateCheck, nullptr, nullptr}, &none_);
    tracker->trackUpdate(VnEventUpdate{VnUpdateOp::DownloadStart, vnValue(VnUpdateResult::Fail), vnValue(3.0f)}, &none_);
    tracker->trackUpdate(VnEventUpdate{VnUpdateOp::UpgrateEnd, vnValue(VnUpdateResult::Latest), vnValue(1.5f)}, &none_);
    const std::vector<json> records = Take();  // each update flushes
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(Own(records[0]), (json{{"vn_update_op", "UpdateCheck"}, {"vn_update_result", ""}}));
    EXPECT_EQ(Own(records[1]), (json{{"vn_update_op", "DownloadStart"}}));
    EXPECT_EQ(Own(records[2]), (json{{"vn_update_op", "UpgrateEnd"}, {"vn_update_result", "Latest"},
                                     {"$is_first_time", true}, {"vn_elapsed", 1.5}}));

    ExpectRefused([&] { tracker->trackUpdate({VnUpdateOp::DownloadEnd, vnValue(VnUpdateResult::Success), nullptr}, &none_); },
                  "invalid elapsed info", "trackUpdate");
    ExpectRefused([&] { tracker->trackUpdate({VnUpdateOp::DownloadEnd, nullptr, vnValue(1.0f)}, &none_); },
                  "Unknown updateResultInfo info", "trackUpdate");
    ExpectRefused([&] { tracker->trackUpdate({static_cast<VnUpdateOp>(9), nullptr, nullptr}, &none_); },
                  "Unknown VnUpdateOp [9]!", "toString");
    EXPECT_TRUE(Take().empty());
}

TEST_F(EventPropertiesTest, AppOpenNotificationChecksItsRequiredTexts) {
    auto tracker = Start();
    ExpectRefused([&] { tracker->trackAppOpenNotification(nullptr, &none_); }, "&appOpenNotification is nullptr",
                  "trackAppOpenNotification");
    VnAppOpenNotification n;
    n.planType = "push";
    ExpectRefused([&] { tracker->trackAppOpenNotification(&n, &none_); }, "planID is emptry", "trackAppOpenNotification");
    n.planID = "p1";
    ExpectRefused([&] { tracker->trackAppOpenNotification(&n, &none_); }, "msgTitle is emptry",
                  "trackAppOpenNotification");
    n.msgTitle = "Hello";
    n.linkUrl = "https://example.test/";
    tracker->trackAppOpenNotification(&n, &none_);
    Flush();
    EXPECT_EQ(Own(OnlyEvent("AppOpenNotification")),
              (json{{"$sf_msg_title", "Hello"}, {"$sf_plan_id", "p1"}, {"$sf_plan_type", "push"},
                    {"$sf_link_url", "https://example.test/"}, {"$is_first_time", true}}));
}

TEST_F(EventPropertiesTest, CrashWithoutReasonSendsNoReasonAndUninstallSendsItsReason) {
    auto tracker = Start();
    tracker->trackCrash("");
    EXPECT_EQ(Own(OnlyEvent("AppCrashed")), json::object());
    tracker->trackCrash("崩溃");
    tracker->trackUninstall("too big", &none_);
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Own(records[0]), (json{{"app_crashed_reason", "崩溃"}}));
    EXPECT_EQ(records[1]["event"], "VnEventUninstall");
    EXPECT_EQ(Own(records[1]), (json{{"vn_uninstall_reason", "too big"}}));
}

TEST_F(EventPropertiesTest, ExtraPropertiesReplaceTheRecordsOwnAndStayWithTheirKind) {
    auto tracker = Start();
    VnContextProperties context;
    context.setProperty("vn_title", "from context", {static_cast<int>(VnEvent::Click)});
    context.setProperty("vnc_ab", "B", {static_cast<int>(VnEvent::Task)});
    VnEventClick click;
    click.name = "install";
    click.title = "from record";
    click.clickType = ClickType::Banner;
    click.bannerIndex = vnValue(2);
    tracker->trackClick(click, &context);
    VnEventView view;
    view.name = "page";
    tracker->trackView(view, &context);
    Flush();
    EXPECT_EQ(Own(OnlyEvent("VnEventClick")), (json{{"vn_name", "install"}, {"vn_click_type", "Banner"},
                                                     {"vn_title", "from context"}, {"vn_banner_index", 2},
                                                     {"$is_first_time", true}}));
    EXPECT_EQ(Own(OnlyEvent("VnEventView")), (json{{"vn_name", "page"}, {"$is_first_time", true}}));
}

TEST_F(EventPropertiesTest, ActivityPutsTheSystemTextsOverExtraPropertiesAndWritesTheFirstVisit) {
    auto tracker = Start();
    VnContextProperties context;
    context.setProperty("$os", "Plan 9", {static_cast<int>(VnEvent::Activity)});
    context.setProperty("vnc_ab", "A", {static_cast<int>(VnEvent::Activity)});
    tracker->trackActivity(&context);  // flushes by itself
    const std::vector<json> records = Take();
    ASSERT_EQ(records.size(), 11u) << "the activity and ten profile records";
    const json& p = records[0]["properties"];
    EXPECT_EQ(records[0]["event"], "VnEventActivity");
    EXPECT_EQ(p["$os"], platform::OsName());
    EXPECT_EQ(p["$os_version"], platform::OsVersion());
    EXPECT_EQ(p["vnc_ab"], "A");
    EXPECT_EQ(p["$ios_install_source"], "android_id=123##imei=1234##mac=123");
    EXPECT_EQ(p["$user_agent"], platform::UserAgent(platform::OsName(), platform::OsVersion(), platform::Is64BitSystem()));
    EXPECT_EQ(p["vn_app_id"], "Quorvex.downloader");
    std::vector<std::string> keys;
    for (std::size_t i = 1; i < records.size(); ++i)
        for (const auto& [key, value] : records[i]["properties"].items())
            if (key != "$is_login_id") keys.push_back(records[i]["type"].get<std::string>() + ":" + key);
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "profile_set_once:$first_visit_time", "profile_set_once:vn_first_visit_date",
                        "profile_set:vn_last_visit_date", "profile_set:vn_os", "profile_set:vn_os_version",
                        "profile_set:vn_app_store", "profile_set:vn_app_platform", "profile_set:vn_last_app_id",
                        "profile_set:vn_last_app_version", "profile_set_once:$ios_install_source"}));
}

TEST_F(EventPropertiesTest, EveryRefusedCallThroughTheWrapperPrintsItsOwnFailureLine) {
    UsageTracker::start(Config(), Environment());
    const std::shared_ptr<UsageTracker> tracker = UsageTracker::instance();
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(tracker->getTrackLogger(), nullptr) << "the wrapper has no logger of its own";
    testing::internal::CaptureStdout();
    tracker->trackActivity(nullptr);
    tracker->trackLaunch(nullptr);
    tracker->trackLogin(VnUserInfo{}, true, "", nullptr);
    tracker->trackClick(VnEventClick{}, &none_);
    tracker->trackView(VnEventView{}, &none_);
    tracker->trackCashier(VnEventCashier{}, &none_);
    tracker->trackShare(VnEventShare{"", "", "", "", vnValue(static_cast<VnResult>(7))}, &none_);
    tracker->trackTask(VnEventTask{}, &none_);
    tracker->trackFile(VnEventFile{}, &none_);
    tracker->trackOrder(VnEventOrder{}, &none_);
    tracker->trackPayment(VnEventPayment{}, &none_);
    tracker->trackUninstall("", nullptr);
    tracker->trackUpdate(VnEventUpdate{VnUpdateOp::DownloadEnd, nullptr, nullptr}, &none_);
    tracker->trackAppOpenNotification(nullptr, &none_);
    tracker->setL10nLocale("en_US");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "Failed to trackActivity\nFailed to trackLaunch\nFailed to trackLogin\nFailed to trackClick\n"
              "Failed to trackView\nFailed to trackCashier\nFailed to trackShare\nFailed to trackTask\n"
              "Failed to trackFile\nFailed to trackOrder\nFailed to trackPayment\nFailed to trackUninstall\n"
              "Failed to trackUpdate\nFailed to trackAppOpenNotification\n");
    EXPECT_EQ(collect::Sdk::Store()->Size(), 0u) << "nothing refused was queued";
}

}  // namespace
