// UsageTrackerImpl: the fifteen tracking operations. Each validates its record (the first broken
// rule throws and nothing is sent), builds a fresh property map, adds the caller's extra
// properties of its kind, hands one event to the collection core and finishes by flushing or by
// noting a pending record. Set-up, state and finishing are in UsageTrackerImplSetup.cpp.
#include <cmath>
#include <cstdio>

#include "analytics/core/PropertiesNode.h"
#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/NativeUserTracker.h"
#include "analytics/tracker/source/src/TrackerPlatform.h"
#include "analytics/tracker/source/src/TrackerTime.h"
#include "analytics/tracker/source/src/UsageTrackerImpl.h"
#include "analytics/tracker/source/src/VnException.h"

namespace varnel::tracking {
namespace {

constexpr char kTrackerSource[] = "UsageTrackerImpl";

[[noreturn]] void Fail(const std::string& message, const char* function, int line) {
    throw VnException(message, kTrackerSource, function, line);
}

void RequireContext(const VnContextProperties* context, const char* function) {
    if (context == nullptr) Fail("properties is nullptr", function, __LINE__);
}

void SetIfNotEmpty(collect::PropertiesNode& p, const char* key, const std::string& value) {
    if (!value.empty()) p.SetString(key, value);
}

void SetIfPresent(collect::PropertiesNode& p, const char* key, const VnOptional<int>& value) {
    if (value) p.SetNumber(key, static_cast<std::int32_t>(*value));
}

void SetIfPresent(collect::PropertiesNode& p, const char* key, const VnOptional<float>& value) {
    if (value) p.SetNumber(key, static_cast<double>(*value));
}

void SetIfPositive(collect::PropertiesNode& p, const char* key, float value) {
    if (value > 0) p.SetNumber(key, static_cast<double>(value));
}

// Task and file results go on the wire only as Success, Cancelled or Fail.
void SetFinalResult(collect::PropertiesNode& p, const char* key, const VnOptional<VnResult>& result) {
    if (!result) return;
    const int n = static_cast<int>(*result);
    if (n >= 0 && n <= 2) p.SetString(key, toString(*result));
}

// "%f" of an amount, as the payment messages show it.
std::string AmountText(float amount) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(amount));
    return text;
}

bool ValidPaymentAmount(float amount) { return std::isfinite(amount) && amount >= 0; }

}  // namespace

void UsageTrackerImpl::send(const char* eventName, collect::PropertiesNode& properties,
                            const VnContextProperties* context, VnEvent kind) {
    context->appendTo(properties, kind);
    if (core_) collect::Sdk::Track(eventName, properties);
}

void UsageTrackerImpl::trackActivity(const VnContextProperties* context) {
    RequireContext(context, "trackActivity");
    collect::PropertiesNode p;
    context->appendTo(p, VnEvent::Activity);  // first: the activity's own keys win
    SetIfNotEmpty(p, "vn_app_store", appStore_);
    if (!appName_.empty()) {
        p.SetString("vn_app_id", appName_);
        p.SetString("$app_id", appName_);
    }
    SetIfNotEmpty(p, "$app_version", appVersion_);
    p.SetString("$ios_install_source", NativeUserTracker::kInstallSource);
    SetIfNotEmpty(p, "$user_agent", userAgent_);
    p.SetBool("$is_first_time", true);
    p.SetString("$os", osName_);
    p.SetString("$os_version", osVersion_);
    if (core_) {
        collect::Sdk::TrackInstallation("VnEventActivity", p);
        NativeUserTracker::trackFirstVisit(
            ProfileAppInfo{osName_, osVersion_, appStore_, platform::AppPlatform(), appName_, appVersion_},
            time::NowMilliseconds());
    }
    state_->pending.fetch_add(1);
    finishFlush();
}

void UsageTrackerImpl::trackLaunch(const VnContextProperties* context) {
    RequireContext(context, "trackLaunch");
    collect::PropertiesNode p;
    send("VnEventLaunch", p, context, VnEvent::PaLaunchPal);
    bool hasUser = false;
    {
        std::lock_guard guard(stateLock_);
        hasUser = !state_->userId.empty();
    }
    if (hasUser) {
        if (core_) NativeUserTracker::trackVisitDates(time::NowMilliseconds());
        state_->pending.fetch_add(1);
    }
    finishFlush();
}

void UsageTrackerImpl::trackLogin(const VnUserInfo& user, bool success, const std::string& reason,
                                  const VnContextProperties* context) {
    RequireContext(context, "trackLogin");
    const std::string type = toString(user.userType);
    collect::PropertiesNode p;
    if (!user.userId.empty()) {
        p.SetString("vn_user_id", user.userId);
        p.SetString("vn_login_id", user.userId);
    }
    p.SetString("vn_type", type);
    p.SetString("vn_result", success ? "Success" : "Fail");
    SetIfNotEmpty(p, "vn_reason", reason);
    if (!user.userId.empty()) p.SetBool("$is_first_time", true);
    send("VnEventLogin", p, context, VnEvent::Login);
    if (!user.userId.empty()) applyLogin(user);
    finishFlush();
}

void UsageTrackerImpl::trackClick(const VnEventClick& e, const VnContextProperties* context) {
    RequireContext(context, "trackClick");
    if (e.name.empty()) Fail("vnEventClick.name is empty", "trackClick", __LINE__);
    collect::PropertiesNode p;
    p.SetString("vn_name", e.name);
    p.SetString("vn_click_type", toString(e.clickType));
    SetIfNotEmpty(p, "vn_aname", e.aname);
    SetIfNotEmpty(p, "vn_title", e.title);
    SetIfNotEmpty(p, "vn_position", e.position);
    SetIfNotEmpty(p, "vn_module", e.module);
    SetIfNotEmpty(p, "vn_tab_name", e.tabName);
    SetIfPresent(p, "vn_tab_index", e.tabIndex);
    SetIfNotEmpty(p, "vn_banner_name", e.bannerName);
    SetIfPresent(p, "vn_banner_index", e.bannerIndex);
    p.SetBool("$is_first_time", true);
    send("VnEventClick", p, context, VnEvent::Click);
    finishPending();
}

void UsageTrackerImpl::trackView(const VnEventView& e, const VnContextProperties* context) {
    RequireContext(context, "trackView");
    if (e.name.empty()) Fail("vnEventView.name is empty", "trackView", __LINE__);
    collect::PropertiesNode p;
    p.SetString("vn_name", e.name);
    SetIfNotEmpty(p, "vn_aname", e.aname);
    SetIfNotEmpty(p, "vn_title", e.title);
    SetIfNotEmpty(p, "vn_position", e.position);
    p.SetBool("$is_first_time", true);
    send("VnEventView", p, context, VnEvent::View);
    finishPending();
}

void UsageTrackerImpl::trackCashier(const VnEventCashier& e, const VnContextProperties* context) {
    RequireContext(context, "trackCashier");
    if (e.vn_cashier_name.empty()) Fail("vnEventCashier.vn_cashier_name is empty", "trackCashier", __LINE__);
    collect::PropertiesNode p;
    p.SetString("vn_cashier_name", e.vn_cashier_name);
    SetIfNotEmpty(p, "vn_cashier_title", e.cashierTitle);
    SetIfNotEmpty(p, "vn_subitem", e.subitem);
    p.SetBool("$is_first_time", true);
    send("VnEventCashier", p, context, VnEvent::Cashier);
    finishPending();
}

void UsageTrackerImpl::trackShare(const VnEventShare& e, const VnContextProperties* context) {
    RequireContext(context, "trackShare");
    collect::PropertiesNode p;
    SetIfNotEmpty(p, "vn_aname", e.aname);
    SetIfNotEmpty(p, "vn_channel", e.channel);
    SetIfNotEmpty(p, "vn_position", e.position);
    SetIfNotEmpty(p, "vn_shared_name", e.sharedName);
    if (e.result) p.SetString("vn_result", toString(*e.result));
    p.SetBool("$is_first_time", true);
    send("VnEventShare", p, context, VnEvent::Share);
    finishPending();
}

void UsageTrackerImpl::trackTask(const VnEventTask& e, const VnContextProperties* context) {
    RequireContext(context, "trackTask");
    if (e.name.empty()) Fail("vnEventTask.name is empty", "trackTask", __LINE__);
    collect::PropertiesNode p;
    p.SetString("vn_task_name", e.name);
    SetIfPresent(p, "vn_task_elapsed", e.elapsed);
    SetFinalResult(p, "vn_task_result", e.result);
    SetIfNotEmpty(p, "vn_aname", e.aname);
    SetIfNotEmpty(p, "vn_reason", e.reason);
    p.SetBool("$is_first_time", true);
    send("VnEventTask", p, context, VnEvent::Task);
    finishPending();
}

void UsageTrackerImpl::trackFile(const VnEventFile& e, const VnContextProperties* context) {
    RequireContext(context, "trackFile");
    if (e.aname.empty()) Fail("vnEventFile.aname is empty", "trackFile", __LINE__);
    collect::PropertiesNode p;
    p.SetString("vn_aname", e.aname);
    if (e.io) p.SetString("vn_io", toString(*e.io));
    SetFinalResult(p, "vn_result", e.result);
    SetIfNotEmpty(p, "vn_name", e.name);
    SetIfNotEmpty(p, "vn_ext", e.ext);
    if (e.size && *e.size > 0) p.SetNumber("vn_size", static_cast<double>(*e.size));
    SetIfPresent(p, "vn_duration", e.duration);
    SetIfPresent(p, "vn_fps", e.fps);
    SetIfPresent(p, "vn_bps", e.bps);
    SetIfPresent(p, "vn_width", e.width);
    SetIfPresent(p, "vn_height", e.height);
    SetIfPresent(p, "vn_depth", e.depth);
    p.SetBool("$is_first_time", true);
    send("VnEventFile", p, context, VnEvent::File);
    finishPending();
}

void UsageTrackerImpl::trackOrder(const VnEventOrder& e, const VnContextProperties* context) {
    RequireContext(context, "trackOrder");
    if (e.vnSuitId.empty()) Fail("vnEventOrder.vnSuitId is empty", "trackOrder", __LINE__);
    if (!e.vnCurrency) Fail("vnEventOrder.vnCurrency is nullptr", "trackOrder", __LINE__);
    if (!(e.originalAmount > 0)) Fail("vnEventOrder.originalAmount is less than zero", "trackOrder", __LINE__);
    if (!(e.paidAmount > 0)) Fail("vnEventOrder.paidAmount is less than zero", "trackOrder", __LINE__);
    collect::PropertiesNode p;
    p.SetString("vn_suit_id", e.vnSuitId);
    p.SetString("vn_currency", toString(*e.vnCurrency));
    p.SetNumber("vn_paid_amount", static_cast<double>(e.paidAmount));
    p.SetNumber("vn_original_amount", static_cast<double>(e.originalAmount));
    p.SetBool("$is_first_time", true);
    SetIfNotEmpty(p, "vn_order_id", e.vnOrderId);
    SetIfNotEmpty(p, "vn_subitem", e.subitem);
    SetIfNotEmpty(p, "vn_sku", e.sku);
    SetIfPresent(p, "vn_campaign_code", e.campaignCode);
    SetIfNotEmpty(p, "vn_voucher_id", e.voucherId);
    SetIfPositive(p, "vn_cur_original_amount", e.curOriginalAmount);
    SetIfPositive(p, "vn_cur_paid_amount", e.curPaidAmount);
    SetIfNotEmpty(p, "vn_cashier_name", e.cashierName);
    SetIfNotEmpty(p, "vn_cashier_title", e.cashierTitle);
    send("VnEventOrder", p, context, VnEvent::Order);
    finishPending();
}

void UsageTrackerImpl::trackPayment(const VnEventPayment& e, const VnContextProperties* context) {
    RequireContext(context, "trackPayment");
    if (e.vnOrderId.empty()) Fail("vnEventPayment.vnOrderId is empty", "trackPayment", __LINE__);
    // A NaN amount compares false with everything: it is refused like a negative one.
    if (!ValidPaymentAmount(e.paidAmount)) Fail("paidAmount = " + AmountText(e.paidAmount) + " is invalid", "trackPayment", __LINE__);
    if (!ValidPaymentAmount(e.originalAmount))
        Fail("originalAmount = " + AmountText(e.originalAmount) + " is invalid", "trackPayment", __LINE__);
    if (!e.result || (*e.result != VnResult::Success && *e.result != VnResult::Fail))
        Fail("vnEventPayment.result is invalid", "trackPayment", __LINE__);
    if (!e.paidPlatform) Fail("vnEventPayment.paidPlatform is nullptr", "trackPayment", __LINE__);
    if (!e.vnCurrency) Fail("vnEventPayment.vnCurrency is nullptr", "trackPayment", __LINE__);
    collect::PropertiesNode p;
    p.SetString("vn_order_id", e.vnOrderId);
    p.SetString("vn_paid_platform", toString(*e.paidPlatform));
    p.SetString("vn_currency", toString(*e.vnCurrency));
    p.SetNumber("vn_paid_amount", static_cast<double>(e.paidAmount));
    p.SetNumber("vn_original_amount", static_cast<double>(e.originalAmount));
    p.SetString("vn_result", toString(*e.result));
    p.SetBool("$is_first_time", true);
    SetIfNotEmpty(p, "vn_suit_id", e.vnSuitId);
    if (e.iapType) p.SetString("vn_iap_type", toString(*e.iapType));
    SetIfNotEmpty(p, "vn_subitem", e.subitem);
    SetIfNotEmpty(p, "vn_sku", e.sku);
    SetIfNotEmpty(p, "vn_voucher_id", e.voucherId);
    SetIfNotEmpty(p, "vn_used_voucher_id", e.usedVoucherId);
    SetIfPresent(p, "vn_campaign_code", e.campaignCode);
    SetIfPositive(p, "vn_cur_original_amount", e.curOriginalAmount);
    SetIfPositive(p, "vn_cur_paid_amount", e.curPaidAmount);
    SetIfNotEmpty(p, "vn_cashier_name", e.cashierName);
    SetIfNotEmpty(p, "vn_cashier_title", e.cashierTitle);
    send("VnEventPayment", p, context, VnEvent::Payment);
    if (core_) NativeUserTracker::trackPaymentProfile(e.paidAmount, time::NowMilliseconds());
    state_->pending.fetch_add(1);
    if (*e.result == VnResult::Success) {
        std::lock_guard guard(stateLock_);
        state_->vipLevel = 1;
        state_->save();
    }
    finishFlush();
}

void UsageTrackerImpl::trackUninstall(const std::string& reason, const VnContextProperties* context) {
    RequireContext(context, "trackUninstall");
    collect::PropertiesNode p;
    SetIfNotEmpty(p, "vn_uninstall_reason", reason);
    send("VnEventUninstall", p, context, VnEvent::Uninstall);
    finishFlush();
}

void UsageTrackerImpl::trackCrash(const std::string& reason) {
    collect::PropertiesNode p;
    SetIfNotEmpty(p, "app_crashed_reason", reason);
    if (core_) collect::Sdk::Track("AppCrashed", p);
    finishFlush();
}

void UsageTrackerImpl::trackUpdate(const VnEventUpdate& e, const VnContextProperties* context) {
    RequireContext(context, "trackUpdate");
    const std::string op = toString(e.op);
    const std::string result = e.result ? toString(*e.result) : std::string();
    collect::PropertiesNode p;
    p.SetString("vn_update_op", op);
    switch (e.op) {
    case VnUpdateOp::UpdateCheck:
        p.SetString("vn_update_result", result);
        break;
    case VnUpdateOp::DownloadStart:
    case VnUpdateOp::UpgrateStart:
        break;
    case VnUpdateOp::DownloadEnd:
    case VnUpdateOp::UpgrateEnd:
        if (result.empty()) Fail("Unknown updateResultInfo info", "trackUpdate", __LINE__);
        p.SetString("vn_update_result", result);
        if (e.op == VnUpdateOp::UpgrateEnd) p.SetBool("$is_first_time", true);
        if (!e.elapsed) Fail("invalid elapsed info", "trackUpdate", __LINE__);
        p.SetNumber("vn_elapsed", static_cast<double>(*e.elapsed));
        break;
    }
    send("VnEventUpdate", p, context, VnEvent::Update);
    finishFlush();
}

void UsageTrackerImpl::trackAppOpenNotification(const VnAppOpenNotification* n, const VnContextProperties* context) {
    if (n == nullptr) Fail("&appOpenNotification is nullptr", "trackAppOpenNotification", __LINE__);
    RequireContext(context, "trackAppOpenNotification");
    if (n->planID.empty()) Fail("planID is emptry", "trackAppOpenNotification", __LINE__);
    if (n->planType.empty()) Fail("planType is emptry", "trackAppOpenNotification", __LINE__);
    if (n->msgTitle.empty()) Fail("msgTitle is emptry", "trackAppOpenNotification", __LINE__);
    collect::PropertiesNode p;
    p.SetString("$sf_msg_title", n->msgTitle);
    p.SetString("$sf_plan_id", n->planID);
    p.SetString("$sf_plan_type", n->planType);
    p.SetBool("$is_first_time", true);
    SetIfNotEmpty(p, "$sf_msg_content", n->msgContent);
    SetIfNotEmpty(p, "$sf_link_url", n->linkUrl);
    SetIfNotEmpty(p, "$sf_audience_id", n->audienceId);
    SetIfNotEmpty(p, "$sf_plan_strategy_id", n->planStrategyId);
    SetIfNotEmpty(p, "$sf_strategy_unit_id", n->strategyUnitId);
    send("AppOpenNotification", p, context, VnEvent::AppOpenNotification);
    finishPending();
}

}  // namespace varnel::tracking
