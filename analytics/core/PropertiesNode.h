#pragma once
// The typed property map that callers fill for one record, and that holds the collection
// instance's super properties. Every setter replaces an earlier value under the same key.
// String values pass the string rule on the way in; property keys are checked when a record is
// built (Check), so a map may hold any key until then.
//
// Not thread-safe: fill a map on one thread, then hand it to the record operations.
#include <cstdint>
#include <string>
#include <vector>

#include "analytics/core/ObjectNode.h"

namespace collect {

class PropertiesNode : public utils::ObjectNode {
public:
    // A property map never receives a nested object: this does nothing.
    void SetObject(const std::string& key, const utils::ObjectNode& value) override;
    ~PropertiesNode() override;

    // Stores a string after the string rule (at most 8192 bytes of accepted UTF-8). A refused
    // value is reported on standard error and leaves the key without a new value; the return
    // value tells which happened. A null pointer is refused silently.
    bool SetString(const std::string& key, const std::string& value);
    bool SetString(const std::string& key, const char* value);

    // A signed 32-bit integer, widened to the 64-bit integer type.
    void SetNumber(const std::string& key, std::int32_t value);
    // A 64-bit float. NaN and the infinities have no JSON form: such a value is reported on
    // standard error and refused like an invalid string (false).
    bool SetNumber(const std::string& key, double value);

    void SetBool(const std::string& key, bool value);
    void SetDateTime(const std::string& key, std::int64_t seconds, std::int32_t milliseconds);

    // A list of strings; each item passes the string rule, else the whole list is refused.
    bool SetList(const std::string& key, const std::vector<std::string>& items);

    // Copies every entry of `other`, overwriting equal keys.
    void Merge(const PropertiesNode& other);

    // The property check of a record's own properties, in key order: every key passes the name
    // rule (label "Property Key"); "$time" holds a date-time; "$project" holds a string. Stops
    // at the first failure, whose message goes to standard error.
    bool Check() const;
};

}  // namespace collect
