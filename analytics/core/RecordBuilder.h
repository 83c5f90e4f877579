#pragma once
// Turns one record operation into the record's JSON text: checks, super properties, "$time",
// "$project", "$is_login_id", the library object, and the fixed key order of an ordered map:
// "distinct_id", "event", "lib", "original_id", "project", "properties", "time", "type".
#include <cstdint>
#include <optional>
#include <string>

#include "analytics/core/PropertiesNode.h"

namespace collect::detail {

// Record types, as written in the "type" field.
inline constexpr char kTypeTrack[] = "track";
inline constexpr char kTypeTrackSignup[] = "track_signup";
inline constexpr char kTypeProfileSet[] = "profile_set";
inline constexpr char kTypeProfileSetOnce[] = "profile_set_once";
inline constexpr char kTypeProfileIncrement[] = "profile_increment";
inline constexpr char kTypeProfileAppend[] = "profile_append";

inline constexpr char kLibName[] = "cpp";
inline constexpr char kLibVersion[] = "0.7";

struct RecordInput {
    std::string type;
    std::string eventName;    // used by "track" and "track_signup"
    const PropertiesNode* properties = nullptr;  // the caller's; null is an empty map
    std::string distinctId;
    std::string originalId;   // used by "track_signup"
    const PropertiesNode* superProperties = nullptr;  // merged into the track types only
    bool isLoginId = false;
    std::int64_t nowMilliseconds = 0;  // record time when there is no "$time"
};

// The record's JSON text, or nothing when a check drops it (the reason is already on standard
// error).
std::optional<std::string> BuildRecord(const RecordInput& input);

// Milliseconds since 1970 (UTC) from the system clock.
std::int64_t NowMilliseconds();

}  // namespace collect::detail
