#include "analytics/tracker/source/src/NativeUserTracker.h"

#include <limits>
#include <map>

#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/TrackerTime.h"
#include "analytics/tracker/source/src/VnException.h"

namespace varnel::tracking {
namespace {

constexpr char kUserTrackerSource[] = "NativeUserTracker";

const std::map<std::string, ProfileRule>& RuleTable() {
    static const std::map<std::string, ProfileRule> table = [] {
        std::map<std::string, ProfileRule> t;
        for (const char* key : {"$first_visit_time", "vn_first_visit_date", "$ios_install_source", "vn_first_paid_date"})
            t.emplace(key, ProfileRule::SetOnce);
        for (const char* key : {"vn_visit_count", "vn_paid_count", "vn_consumption"}) t.emplace(key, ProfileRule::Increment);
        for (const char* key :
             {"vn_label",         "vn_os",           "vn_os_version",       "vn_manufacturer",    "vn_model",
              "vn_app_store",     "vn_app_platform", "vn_last_app_id",      "vn_last_app_version", "vn_carrier",
              "vn_last_visit_date", "aurora_pushid", "vn_user_id",          "vn_user_name",       "vn_user_type",
              "vn_user_nickname", "vn_user_portrait", "vn_user_mobilephone", "vn_user_email",     "vn_user_weixin",
              "vn_user_qq",       "vn_user_did",     "vn_user_created",     "vn_user_last_login", "vn_user_last_ip",
              "vn_user_vip_level", "vn_user_vip_enddate", "idfa",           "imei",               "android_id",
              "oaid",             "vn_ip",           "vn_country_code",     "vn_country",         "vn_province",
              "vn_city",          "vn_last_paid_date"})
            t.emplace(key, ProfileRule::Set);
        return t;
    }();
    return table;
}

// The rule of `key`, or the "Not supported" exception naming `function`.
ProfileRule RequireRule(const std::string& key, const char* function, int line) {
    if (const std::optional<ProfileRule> rule = NativeUserTracker::ruleOf(key)) return *rule;
    throw VnException("Not supported user property [" + key + "]!", kUserTrackerSource, function, line);
}

// Writes a date given in seconds (0 or less: absent). Seconds beyond what milliseconds can hold
// are no date at all and are left out rather than overflowing.
void ProfileSecondsDate(const char* key, std::int64_t seconds) {
    if (seconds <= 0 || seconds > std::numeric_limits<std::int64_t>::max() / 1000) return;
    NativeUserTracker::ProfileUserPropertyDateTime(key, seconds * 1000);
}

}  // namespace

std::optional<ProfileRule> NativeUserTracker::ruleOf(const std::string& key) {
    const auto& table = RuleTable();
    const auto it = table.find(key);
    if (it == table.end()) return std::nullopt;
    return it->second;
}

void NativeUserTracker::ProfileUserPropertyString(const std::string& key, const std::string& value) {
    switch (RequireRule(key, "ProfileUserPropertyString", __LINE__)) {
    case ProfileRule::SetOnce: collect::Sdk::ProfileSetOnce(key, value); return;
    case ProfileRule::Set: collect::Sdk::ProfileSet(key, value); return;
    case ProfileRule::Append: collect::Sdk::ProfileAppend(key, value); return;
    case ProfileRule::Increment: break;
    }
    throw VnException("user property [" + key + "] is string type value, it cannot be accumulated!", kUserTrackerSource,
                      "ProfileUserPropertyString", __LINE__);
}

void NativeUserTracker::ProfileUserPropertyNumber(const std::string& key, std::int32_t value) {
    switch (RequireRule(key, "ProfileUserPropertyNumber", __LINE__)) {
    case ProfileRule::SetOnce: collect::Sdk::ProfileSetOnce(key, value); return;
    case ProfileRule::Increment: collect::Sdk::ProfileIncrement(key, value); return;
    case ProfileRule::Set: collect::Sdk::ProfileSet(key, value); return;
    case ProfileRule::Append: break;
    }
    throw VnException("user property [" + key + "] is number value, it cannot be append to list!", kUserTrackerSource,
                      "ProfileUserPropertyNumber", __LINE__);
}

void NativeUserTracker::ProfileUserPropertyNumber(const std::string& key, double value) {
    switch (RequireRule(key, "ProfileUserPropertyNumber", __LINE__)) {
    case ProfileRule::SetOnce: collect::Sdk::ProfileSetOnce(key, value); return;
    case ProfileRule::Increment: {
        collect::PropertiesNode properties;
        properties.SetNumber(key, value);
        collect::Sdk::ProfileIncrement(properties);
        return;
    }
    case ProfileRule::Set: collect::Sdk::ProfileSet(key, value); return;
    case ProfileRule::Append: break;
    }
    throw VnException("user property [" + key + "] is number value, it cannot be append to list!", kUserTrackerSource,
                      "ProfileUserPropertyNumber", __LINE__);
}

void NativeUserTracker::ProfileUserPropertyDateTime(const std::string& key, std::int64_t value) {
    const ProfileRule rule = RequireRule(key, "ProfileUserPropertyDateTime", __LINE__);
    if (rule == ProfileRule::Increment)
        throw VnException("user property [" + key + "] is date-time value, it cannot be accumulated!", kUserTrackerSource,
                          "ProfileUserPropertyDateTime", __LINE__);
    if (rule == ProfileRule::Append)
        throw VnException("user property [" + key + "] is date-time value, it cannot be append to list!", kUserTrackerSource,
                          "ProfileUserPropertyDateTime", __LINE__);
    const time::SplitTime t = time::Split(value);
    collect::PropertiesNode properties;
    properties.SetDateTime(key, t.seconds, t.milliseconds);
    if (rule == ProfileRule::SetOnce) collect::Sdk::ProfileSetOnce(properties);
    else collect::Sdk::ProfileSet(properties);
}

void NativeUserTracker::trackFirstVisit(const ProfileAppInfo& info, std::int64_t nowMilliseconds) {
    trackVisitDates(nowMilliseconds);
    ProfileUserPropertyString("vn_os", info.osName);
    ProfileUserPropertyString("vn_os_version", info.osVersion);
    ProfileUserPropertyString("vn_app_store", info.appStore);
    ProfileUserPropertyString("vn_app_platform", info.appPlatform);
    ProfileUserPropertyString("vn_last_app_id", info.appName);
    ProfileUserPropertyString("vn_last_app_version", info.appVersion);
    ProfileUserPropertyString("$ios_install_source", kInstallSource);
}

void NativeUserTracker::trackVisitDates(std::int64_t nowMilliseconds) {
    ProfileUserPropertyDateTime("$first_visit_time", nowMilliseconds);
    ProfileUserPropertyDateTime("vn_first_visit_date", nowMilliseconds);
    ProfileUserPropertyDateTime("vn_last_visit_date", nowMilliseconds);
}

void NativeUserTracker::trackPaymentProfile(float paidAmount, std::int64_t nowMilliseconds) {
    ProfileUserPropertyNumber("vn_paid_count", std::int32_t{1});
    ProfileUserPropertyNumber("vn_consumption", static_cast<double>(paidAmount));
    ProfileUserPropertyDateTime("vn_first_paid_date", nowMilliseconds);
    ProfileUserPropertyDateTime("vn_last_paid_date", nowMilliseconds);
}

void NativeUserTracker::trackUserLoginProperty(const VnUserInfo& user, std::int64_t time) {
    if (time <= 0) time = time::NowMilliseconds();
    ProfileUserPropertyString("vn_user_id", user.userId);
    ProfileUserPropertyString("vn_user_name", user.userName);
    ProfileUserPropertyNumber("vn_user_type", static_cast<std::int32_t>(user.userType));
    const std::pair<const char*, const std::string*> optionalTexts[] = {
        {"vn_user_nickname", &user.nickname}, {"vn_user_portrait", &user.portrait},
        {"vn_user_mobilephone", &user.mobilephone}, {"vn_user_email", &user.email},
        {"vn_user_weixin", &user.weixin}, {"vn_user_qq", &user.qq}, {"vn_user_did", &user.did}};
    for (const auto& [key, text] : optionalTexts)
        if (!text->empty()) ProfileUserPropertyString(key, *text);
    ProfileSecondsDate("vn_user_created", user.created);
    if (!user.lastIp.empty()) ProfileUserPropertyString("vn_user_last_ip", user.lastIp);
    ProfileSecondsDate("vn_user_last_login", user.lastLogin);
    ProfileUserPropertyNumber("vn_user_vip_level", static_cast<std::int32_t>(user.vipLevel));
    ProfileSecondsDate("vn_user_vip_enddate", user.vipEndDate);
    trackVisitDates(time);
}

}  // namespace varnel::tracking
