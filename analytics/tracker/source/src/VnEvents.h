#pragma once
// The typed event records that callers fill for one tracking call. Strings are UTF-8; an optional
// value is a shared pointer whose null means "absent"; amounts and measures are single-precision
// and go on the wire as numbers. The records are plain data: the tracker validates them when
// they are tracked (UsageTrackerImpl), not here.
#include <cstdint>
#include <memory>
#include <string>

#include "analytics/tracker/source/src/VnEnums.h"

namespace varnel::tracking {

template <typename T>
using VnOptional = std::shared_ptr<T>;

// The shorthand callers use to set an optional field: `task.result = vnValue(VnResult::Success);`
template <typename T>
VnOptional<T> vnValue(T value) {
    return std::make_shared<T>(value);
}

struct VnEventClick {
    std::string aname;
    std::string name;
    ClickType clickType = ClickType::Button;
    std::string title;
    std::string module;
    std::string position;
    VnOptional<int> tabIndex;
    std::string tabName;
    VnOptional<int> bannerIndex;
    std::string bannerName;
};

struct VnEventView {
    std::string aname;
    std::string name;
    std::string title;
    std::string position;
};

struct VnEventCashier {
    std::string vn_cashier_name;
    std::string cashierTitle;
    std::string subitem;
};

struct VnEventShare {
    std::string aname;
    std::string channel;
    std::string position;
    std::string sharedName;
    VnOptional<VnResult> result;
};

struct VnEventTask {
    std::string aname;
    std::string name;
    std::string reason;
    VnOptional<float> elapsed;
    VnOptional<VnResult> result;
};

struct VnEventFile {
    std::string aname;
    std::string name;
    VnOptional<VnIoType> io;
    std::string ext;
    VnOptional<float> size;
    VnOptional<int> duration;
    VnOptional<float> fps;
    VnOptional<float> bps;
    VnOptional<int> width;
    VnOptional<int> height;
    VnOptional<int> depth;
    VnOptional<VnResult> result;
};

struct VnEventOrder {
    std::string vnOrderId;
    std::string subitem;
    std::string sku;
    std::string vnSuitId;
    VnOptional<VnCurrency> vnCurrency;
    float originalAmount = 0;
    std::string voucherId;
    float paidAmount = 0;
    std::string cashierName;
    std::string cashierTitle;
    VnOptional<int> campaignCode;
    float curOriginalAmount = 0;
    float curPaidAmount = 0;
};

struct VnEventPayment {
    std::string vnOrderId;
    std::string subitem;
    std::string sku;
    VnOptional<VnCurrency> vnCurrency;
    float originalAmount = 0;
    VnOptional<int> campaignCode;
    std::string voucherId;
    std::string usedVoucherId;
    float paidAmount = 0;
    std::string vnSuitId;
    std::string cashierName;
    std::string cashierTitle;
    VnOptional<VnPaidPlatform> paidPlatform;
    VnOptional<VnResult> result;
    VnOptional<VnIapType> iapType;
    float curOriginalAmount = 0;
    float curPaidAmount = 0;
};

struct VnEventUpdate {
    VnUpdateOp op = VnUpdateOp::UpdateCheck;
    VnOptional<VnUpdateResult> result;
    VnOptional<float> elapsed;
};

struct VnAppOpenNotification {
    std::string msgTitle;
    std::string msgContent;
    std::string linkUrl;
    std::string planID;
    std::string audienceId;
    std::string planStrategyId;
    std::string planType;
    std::string strategyUnitId;
};

// Times are seconds since 1970-01-01 UTC; 0 means absent.
struct VnUserInfo {
    std::string userId;
    std::string userName;
    VnUserType userType = VnUserType::Unknown;
    std::string nickname;
    std::string portrait;
    std::string mobilephone;
    std::string email;
    std::string weixin;
    std::string qq;
    std::string did;
    std::int64_t created = 0;
    std::int64_t lastLogin = 0;
    std::string lastIp;
    int vipLevel = 0;
    std::int64_t vipEndDate = 0;
};

}  // namespace varnel::tracking
