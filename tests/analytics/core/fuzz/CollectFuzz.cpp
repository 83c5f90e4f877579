// Fuzzes the string rules and the record JSON writer. Input: a key, a 0x00 byte, then a value.
// Invariants checked:
//  - the UTF-8 rule agrees with a real JSON parser: an accepted value written as a JSON string
//    parses back to the same bytes; a refused value free of control bytes is refused by the
//    parser too;
//  - every record the core builds from the input parses as JSON and keeps the key and value;
//  - the upload encoding decodes back to the exact batch.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "analytics/core/JsonWriter.h"
#include "analytics/core/PropertiesNode.h"
#include "analytics/core/RecordBuilder.h"
#include "analytics/core/Rules.h"
#include "analytics/core/UploadEncoding.h"
#include "tools/collector/UploadDecoder.h"

namespace {

using nlohmann::json;

void Require(bool condition) {
    if (!condition) std::abort();
}

bool HasControlBytes(const std::string& s) {
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0x7F) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string key = input.substr(0, split);
    const std::string value = split == std::string::npos ? std::string() : input.substr(split + 1);

    // The UTF-8 rule against nlohmann's own UTF-8 validation.
    std::string quoted;
    collect::json::AppendString(quoted, value);
    const json parsed = json::parse(quoted, nullptr, false);
    if (collect::rules::IsValidUtf8(value)) {
        Require(!parsed.is_discarded() && parsed.is_string() && parsed.get<std::string>() == value);
    } else if (!HasControlBytes(value)) {
        Require(parsed.is_discarded());
    }

    // The name rule's verdict does not depend on the message path.
    const bool validName = collect::rules::IsValidName(key);
    Require(collect::rules::CheckName("Property Key", key) == validName);

    // A record built from the input is valid JSON and carries the value when it was accepted.
    collect::PropertiesNode properties;
    const bool stored = properties.SetString(key, value);
    properties.SetNumber("num", static_cast<double>(size) / 7.0);
    collect::PropertiesNode super;
    super.SetString("$lib", "cpp");
    collect::detail::RecordInput in;
    in.type = size % 2 ? "track" : "profile_set";
    in.eventName = key;
    in.properties = &properties;
    in.distinctId = value;
    in.superProperties = &super;
    in.isLoginId = size % 3 == 0;
    in.nowMilliseconds = 1700000000000;
    const std::optional<std::string> record = collect::detail::BuildRecord(in);
    // Dropped exactly when the key is in the map and breaks the name rule or is a "$time" that
    // holds a string, or when a track record's event name (the key) breaks the name rule.
    const bool keyInMap = stored || key == "num";
    const bool checkOk = (!keyInMap || validName) && !(key == "$time" && stored);
    const bool eventOk = in.type != "track" || validName;
    Require(record.has_value() == (checkOk && eventOk));
    if (record) {
        const json r = json::parse(*record, nullptr, false);
        Require(!r.is_discarded() && r.is_object());
        if (stored) {
            Require(r["distinct_id"] == value);
            if (key == "$project")
                Require(value.empty() ? !r.contains("project") : r["project"] == value);
            else if (key != "num" && key != "$is_login_id")
                Require(r["properties"][key] == value);
        }
        Require(record->find('\n') == std::string::npos);  // one record per staging line

        const std::string batch = "[" + *record + "]";
        const std::optional<std::string> body = collect::detail::BuildUploadBody(batch);
        Require(body.has_value());
        const collector::DecodedUpload decoded = collector::DecodeUploadBody(*body);
        Require(decoded.ok && decoded.batchText == batch && decoded.recordTexts.size() == 1 &&
                decoded.recordTexts[0] == *record);
    }
    return 0;
}
