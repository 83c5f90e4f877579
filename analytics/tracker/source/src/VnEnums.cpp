#include "analytics/tracker/source/src/VnEnums.h"

#include <array>
#include <string_view>

#include "analytics/tracker/source/src/VnException.h"

namespace varnel::tracking {
namespace {

// The enumerations belong to the tracker implementation; their exceptions name it as their source.
constexpr char kSource[] = "UsageTrackerImpl";

// The text of `value` in a table that starts at `first`, or a VnException
// "<what> [<value>]!" naming `function`.
template <typename Enum, std::size_t N>
std::string Lookup(Enum value, const std::array<std::string_view, N>& texts, int first, const char* what,
                   const char* function, int line) {
    const int n = static_cast<int>(value);
    if (n >= first && n - first < static_cast<int>(N)) return std::string(texts[static_cast<std::size_t>(n - first)]);
    throw VnException(std::string(what) + " [" + std::to_string(n) + "]!", kSource, function, line);
}

}  // namespace

std::string toString(VnEvent value) {
    static constexpr std::array<std::string_view, 15> kTexts = {
        "Activity", "PaLaunchPal", "Login",   "Click",     "View",      "Cashier", "Share",   "Task",
        "File",     "Order",       "Payment", "Uninstall", "Update",    "Crashed", "AppOpenNotification"};
    return Lookup(value, kTexts, 0, "Unknown Event", "toString", __LINE__);
}

std::string toString(VnResult value) {
    static constexpr std::array<std::string_view, 4> kTexts = {"Success", "Cancelled", "Fail", "Unknown"};
    return Lookup(value, kTexts, 0, "Unknown task result", "toString", __LINE__);
}

std::string toString(VnEdition value) {
    static constexpr std::array<std::string_view, 2> kTexts = {"china", "overseas"};
    return Lookup(value, kTexts, 0, "Unknown edition", "toString", __LINE__);
}

std::string toString(VnUserType value) {
    static constexpr std::array<std::string_view, 12> kTexts = {
        "unknown", "mobilephone", "email", "weixin",       "qq",     "deviceid",
        "baidu",   "huawei",      "apple", "varneluserid", "google", "facebook"};
    return Lookup(value, kTexts, 0, "Unknown user type", "userType", __LINE__);
}

std::string toString(ClickType value) {
    static constexpr std::array<std::string_view, 5> kTexts = {"Button", "Banner", "Tutorial", "File", "Others"};
    return Lookup(value, kTexts, 0, "Unknown ClickType", "toString", __LINE__);
}

std::string toString(VnIoType value) {
    switch (value) {
    case VnIoType::Input: return "Input";
    case VnIoType::Output: return "Output";
    }
    throw VnException("the io type is invalid", kSource, "toString", __LINE__);
}

std::string toString(VnCurrency value) {
    static constexpr std::array<std::string_view, 11> kTexts = {"CNY", "USD", "EUR", "HKD", "TWD", "MOP",
                                                                "SGD", "JPY", "KRW", "INR", "GBP"};
    return Lookup(value, kTexts, 0, "Unknown currency", "toString", __LINE__);
}

std::string toString(VnPaidPlatform value) {
    static constexpr std::array<std::string_view, 10> kTexts = {"Alipay",    "WeChatPay", "PayPal",   "Tenpay",
                                                                "CIECC",     "GooglePay", "HuaweiPay", "AppleIAP",
                                                                "Paddle",    "ChinaUnionPay"};
    return Lookup(value, kTexts, 0, "Unknown paid platform", "toString", __LINE__);
}

std::string toString(VnIapType value) {
    static constexpr std::array<std::string_view, 4> kTexts = {"Consumable", "NonConsumable", "AutoRenewable",
                                                               "NonRenewable"};
    return Lookup(value, kTexts, 1, "Unknown vnIapType", "toString", __LINE__);
}

std::string toString(VnUpdateOp value) {
    static constexpr std::array<std::string_view, 5> kTexts = {"UpdateCheck", "DownloadStart", "DownloadEnd",
                                                               "UpgrateStart", "UpgrateEnd"};
    return Lookup(value, kTexts, 0, "Unknown VnUpdateOp", "toString", __LINE__);
}

std::string toString(VnUpdateResult value) {
    static constexpr std::array<std::string_view, 6> kTexts = {"Success", "Cancelled", "Timeout",
                                                               "Fail",    "Latest",    "Updateable"};
    return Lookup(value, kTexts, 0, "Unknown VnUpdateResult", "toString", __LINE__);
}

}  // namespace varnel::tracking
