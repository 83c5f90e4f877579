#pragma once
// Extra properties a caller attaches to events by kind: each name is registered once with a
// value and the list of event kinds (VnEvent) that carry it. The tracker reads the holder during
// a tracking call and adds the kind's entries after the event's own properties, so an entry
// replaces an event property of the same name.
//
// The holder is created, filled and owned by the caller on the thread that makes the tracking
// calls; it takes no lock. Entries point at values the holder owns, so the holder must outlive
// every call it is passed to (copies share the values).
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analytics/core/PropertiesNode.h"
#include "analytics/tracker/source/src/VnEnums.h"

namespace varnel::tracking {

enum class PropertyValueType : int { Bool = 0, DateTime = 1, Number = 2, String = 3, StringList = 4 };

struct PropertyEntry {
    const void* value = nullptr;  // the value object owned by the holder's map; not owned here
    PropertyValueType type = PropertyValueType::String;
    std::string name;
};

class VnContextProperties {
public:
    // The A/B group rule: "" is no group (false); otherwise 1 to 3 bytes, the first A-Z, the
    // others A-Z or 0-9 (true). Any other value throws VnException with the broken rule.
    static bool isValidABValue(const std::string& value);

    // Registers a string under `name` for each kind of `kinds`, in order. Throws when the name is
    // already registered ("Property[<name>] already exist!"), when it is not a valid property
    // key (such a key would make the collection core drop every event of the kind), or at the
    // first kind outside 0 to 14 ("VnEvent[<kind>] overflow!"); the kinds before it and the
    // name stay registered.
    void setProperty(const std::string& name, const std::string& value, const std::vector<int>& kinds);
    // The other value types, with the same rules.
    void setBoolProperty(const std::string& name, bool value, const std::vector<int>& kinds);
    void setNumberProperty(const std::string& name, double value, const std::vector<int>& kinds);
    // A date-time (milliseconds from 157789440000 on, else seconds), sent as its local-time text.
    void setDateTimeProperty(const std::string& name, std::int64_t value, const std::vector<int>& kinds);
    void setStringListProperty(const std::string& name, const std::vector<std::string>& value,
                               const std::vector<int>& kinds);

    // The entries of one kind in registration order; throws for a kind outside 0 to 14.
    const std::vector<PropertyEntry>& getEventProperties(int kind) const;

    // Sets every entry of `kind` on `properties` as its type dictates, replacing equal keys.
    // True when the kind had any entry.
    bool appendTo(collect::PropertiesNode& properties, VnEvent kind) const;

private:
    void registerValue(const std::string& name, std::shared_ptr<void> value, const void* raw,
                       PropertyValueType type, const std::vector<int>& kinds);

    std::map<std::string, std::shared_ptr<void>> values_;
    std::array<std::vector<PropertyEntry>, kVnEventKinds> lists_;
};

}  // namespace varnel::tracking
