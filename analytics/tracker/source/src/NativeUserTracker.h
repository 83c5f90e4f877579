#pragma once
// The user profile on the collection service. Every profile key has one write rule (set once,
// increment, set, append); each operation checks the key's rule against the kind of value and
// queues one profile record through the collection core, or throws VnException. The write
// sequences below are what the tracker sends after an activity, a launch, a payment and a login.
//
// Stateless apart from the rule table, which is built once and then only read: safe from any
// thread. Records go to the core's queue; nothing is sent here.
#include <cstdint>
#include <optional>
#include <string>

#include "analytics/tracker/source/src/VnEvents.h"

namespace varnel::tracking {

enum class ProfileRule : int { SetOnce = 1, Increment = 2, Set = 3, Append = 4 };

// What the first-visit sequence writes about the application and the system.
struct ProfileAppInfo {
    std::string osName;
    std::string osVersion;
    std::string appStore;
    std::string appPlatform;
    std::string appName;
    std::string appVersion;
};

class NativeUserTracker {
public:
    static constexpr char kInstallSource[] = "android_id=123##imei=1234##mac=123";

    // The key's rule; nothing for a key outside the table.
    static std::optional<ProfileRule> ruleOf(const std::string& key);

    static void ProfileUserPropertyString(const std::string& key, const std::string& value);
    static void ProfileUserPropertyNumber(const std::string& key, std::int32_t value);
    static void ProfileUserPropertyNumber(const std::string& key, double value);
    // A date-time: milliseconds from 157789440000 on, else seconds.
    static void ProfileUserPropertyDateTime(const std::string& key, std::int64_t value);

    // After an activity: the three visit dates, then the system and application texts (ten records).
    static void trackFirstVisit(const ProfileAppInfo& info, std::int64_t nowMilliseconds);
    // The three visit dates (after a launch while a user id is stored).
    static void trackVisitDates(std::int64_t nowMilliseconds);
    // After a payment: paid count +1, consumption + the paid amount, first and last paid dates.
    static void trackPaymentProfile(float paidAmount, std::int64_t nowMilliseconds);
    // The logged-in user's details; a `time` of 0 or less means now.
    static void trackUserLoginProperty(const VnUserInfo& user, std::int64_t time);
};

}  // namespace varnel::tracking
