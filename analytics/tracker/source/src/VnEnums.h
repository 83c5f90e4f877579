#pragma once
// The enumerations of the tracker with their wire texts. Each toString turns a value into the
// text the collection service expects; a value outside the enumeration (a cast integer) throws
// VnException from toString, so an event with such a value is never sent.
#include <string>

namespace varnel::tracking {

// The event kinds; also the index of a kind's list of extra properties (VnContextProperties).
enum class VnEvent : int {
    Activity = 0,
    PaLaunchPal = 1,
    Login = 2,
    Click = 3,
    View = 4,
    Cashier = 5,
    Share = 6,
    Task = 7,
    File = 8,
    Order = 9,
    Payment = 10,
    Uninstall = 11,
    Update = 12,
    Crashed = 13,
    AppOpenNotification = 14,
};
inline constexpr int kVnEventKinds = 15;

enum class VnResult : int { Success = 0, Cancelled = 1, Fail = 2, Unknown = 3 };

enum class VnEdition : int { China = 0, Overseas = 1 };

enum class VnUserType : int {
    Unknown = 0,
    MobilePhone = 1,
    Email = 2,
    Weixin = 3,
    QQ = 4,
    DeviceId = 5,
    Baidu = 6,
    Huawei = 7,
    Apple = 8,
    VarnelUserId = 9,
    Google = 10,
    Facebook = 11,
};

enum class ClickType : int { Button = 0, Banner = 1, Tutorial = 2, File = 3, Others = 4 };

enum class VnIoType : int { Input = 0, Output = 1 };

enum class VnCurrency : int { CNY = 0, USD = 1, EUR = 2, HKD = 3, TWD = 4, MOP = 5, SGD = 6, JPY = 7, KRW = 8, INR = 9, GBP = 10 };

enum class VnPaidPlatform : int {
    Alipay = 0,
    WeChatPay = 1,
    PayPal = 2,
    Tenpay = 3,
    CIECC = 4,
    GooglePay = 5,
    HuaweiPay = 6,
    AppleIAP = 7,
    Paddle = 8,
    ChinaUnionPay = 9,
};

// There is no 0.
enum class VnIapType : int { Consumable = 1, NonConsumable = 2, AutoRenewable = 3, NonRenewable = 4 };

// "Upgrate" is how the collection service spells these operations.
enum class VnUpdateOp : int { UpdateCheck = 0, DownloadStart = 1, DownloadEnd = 2, UpgrateStart = 3, UpgrateEnd = 4 };

enum class VnUpdateResult : int { Success = 0, Cancelled = 1, Timeout = 2, Fail = 3, Latest = 4, Updateable = 5 };

std::string toString(VnEvent value);
std::string toString(VnResult value);
std::string toString(VnEdition value);
std::string toString(VnUserType value);  // raises with the function name "userType"
std::string toString(ClickType value);
std::string toString(VnIoType value);
std::string toString(VnCurrency value);
std::string toString(VnPaidPlatform value);
std::string toString(VnIapType value);
std::string toString(VnUpdateOp value);
std::string toString(VnUpdateResult value);

}  // namespace varnel::tracking
