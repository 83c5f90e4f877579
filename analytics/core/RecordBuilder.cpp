#include "analytics/core/RecordBuilder.h"

#include <chrono>
#include <string_view>

#include "analytics/core/Rules.h"

namespace collect::detail {
namespace {

using utils::ValueNode;
using utils::ValueType;

// The record itself: an ordered map that, unlike a property map, takes nested objects and a
// 64-bit integer.
class RecordNode : public utils::ObjectNode {
public:
    void SetCheckedString(const std::string& key, const std::string& value) {
        if (rules::CheckStringValue(key, value)) Put(key, ValueNode::String(value));
    }
    void SetInteger(const std::string& key, std::int64_t value) { Put(key, ValueNode::Integer(value)); }
};

std::int64_t RecordTime(const utils::DateTimeValue& dt) {
    // Wraps instead of overflowing for absurd inputs; any real time fits easily.
    const auto ms = static_cast<std::uint64_t>(dt.seconds) * 1000u + static_cast<std::uint64_t>(
                                                                          static_cast<std::int64_t>(dt.milliseconds));
    return static_cast<std::int64_t>(ms);
}

}  // namespace

std::int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<std::string> BuildRecord(const RecordInput& input) {
    static const PropertiesNode kNoProperties;
    const PropertiesNode& given = input.properties ? *input.properties : kNoProperties;

    if (!given.Check()) return std::nullopt;
    if (input.type == kTypeTrack && !rules::CheckName(rules::kEventNameLabel, input.eventName)) return std::nullopt;
    if (input.type == kTypeTrackSignup && !rules::CheckIdentifier(rules::kOriginalIdLabel, input.originalId))
        return std::nullopt;

    PropertiesNode properties;
    if (input.type.find("track") != std::string::npos && input.superProperties)
        properties.Merge(*input.superProperties);
    properties.Merge(given);

    std::int64_t time = input.nowMilliseconds;
    if (const ValueNode* t = properties.Find("$time"); t && t->Type() == ValueType::DateTime) {
        time = RecordTime(t->AsDateTime());
        properties.Remove("$time");
    }

    std::string project;
    if (const ValueNode* p = properties.Find("$project"); p && p->Type() == ValueType::String) {
        project = p->AsString();
        properties.Remove("$project");
    }

    if (input.isLoginId) properties.SetBool("$is_login_id", true);

    PropertiesNode lib;
    lib.SetString("$lib", kLibName);
    lib.SetString("$lib_version", kLibVersion);
    lib.SetString("$lib_method", "code");

    RecordNode record;
    record.SetCheckedString("type", input.type);
    record.SetInteger("time", time);
    record.SetCheckedString("distinct_id", input.distinctId);
    record.SetObject("properties", properties);
    record.SetObject("lib", lib);
    if (!project.empty()) record.SetCheckedString("project", project);
    if (input.type == kTypeTrack || input.type == kTypeTrackSignup) record.SetCheckedString("event", input.eventName);
    if (input.type == kTypeTrackSignup) record.SetCheckedString("original_id", input.originalId);

    return record.ToJson();
}

}  // namespace collect::detail
