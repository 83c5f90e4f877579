#include "analytics/tracker/source/src/VnContextProperties.h"

#include "analytics/core/Rules.h"
#include "analytics/tracker/source/src/TrackerTime.h"
#include "analytics/tracker/source/src/VnException.h"

namespace varnel::tracking {
namespace {

constexpr char kContextSource[] = "VnContextProperties";

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Overflow(int kind) { return "VnEvent[" + std::to_string(kind) + "] overflow!"; }

}  // namespace

bool VnContextProperties::isValidABValue(const std::string& value) {
    if (value.empty()) return false;
    if (value.size() > 3) throw VnException("value's length is great than 3.", kContextSource, "isValidABValue", __LINE__);
    if (!IsUpper(value[0])) throw VnException("First char is not in A to Z", kContextSource, "isValidABValue", __LINE__);
    if (value.size() > 1 && !IsUpper(value[1]) && !IsDigit(value[1]))
        throw VnException("second char is not in A to Z and 0 to 9", kContextSource, "isValidABValue", __LINE__);
    if (value.size() > 2 && !IsUpper(value[2]) && !IsDigit(value[2]))
        throw VnException("third char is not in A to Z and 0 to 9", kContextSource, "isValidABValue", __LINE__);
    return true;
}

void VnContextProperties::registerValue(const std::string& name, std::shared_ptr<void> value, const void* raw,
                                        PropertyValueType type, const std::vector<int>& kinds) {
    if (values_.count(name) != 0)
        throw VnException("Property[" + name + "] already exist!", kContextSource, "setProperty", __LINE__);
    if (!collect::rules::IsValidName(name))
        throw VnException("Property[" + name + "] is not a valid property name!", kContextSource, "setProperty", __LINE__);
    values_.emplace(name, std::move(value));
    for (const int kind : kinds) {
        if (kind < 0 || kind >= kVnEventKinds) throw VnException(Overflow(kind), kContextSource, "setProperty", __LINE__);
        lists_[static_cast<std::size_t>(kind)].push_back(PropertyEntry{raw, type, name});
    }
}

void VnContextProperties::setProperty(const std::string& name, const std::string& value, const std::vector<int>& kinds) {
    auto owned = std::make_shared<std::string>(value);
    const void* raw = owned.get();
    registerValue(name, std::move(owned), raw, PropertyValueType::String, kinds);
}

void VnContextProperties::setBoolProperty(const std::string& name, bool value, const std::vector<int>& kinds) {
    auto owned = std::make_shared<bool>(value);
    const void* raw = owned.get();
    registerValue(name, std::move(owned), raw, PropertyValueType::Bool, kinds);
}

void VnContextProperties::setNumberProperty(const std::string& name, double value, const std::vector<int>& kinds) {
    auto owned = std::make_shared<double>(value);
    const void* raw = owned.get();
    registerValue(name, std::move(owned), raw, PropertyValueType::Number, kinds);
}

void VnContextProperties::setDateTimeProperty(const std::string& name, std::int64_t value,
                                              const std::vector<int>& kinds) {
    auto owned = std::make_shared<std::int64_t>(value);
    const void* raw = owned.get();
    registerValue(name, std::move(owned), raw, PropertyValueType::DateTime, kinds);
}

void VnContextProperties::setStringListProperty(const std::string& name, const std::vector<std::string>& value,
                                                const std::vector<int>& kinds) {
    auto owned = std::make_shared<std::vector<std::string>>(value);
    const void* raw = owned.get();
    registerValue(name, std::move(owned), raw, PropertyValueType::StringList, kinds);
}

const std::vector<PropertyEntry>& VnContextProperties::getEventProperties(int kind) const {
    if (kind < 0 || kind >= kVnEventKinds) throw VnException(Overflow(kind), kContextSource, "getEventProperties", __LINE__);
    return lists_[static_cast<std::size_t>(kind)];
}

bool VnContextProperties::appendTo(collect::PropertiesNode& properties, VnEvent kind) const {
    const std::vector<PropertyEntry>& entries = getEventProperties(static_cast<int>(kind));
    for (const PropertyEntry& entry : entries) {
        switch (entry.type) {
        case PropertyValueType::Bool:
            properties.SetBool(entry.name, *static_cast<const bool*>(entry.value));
            break;
        case PropertyValueType::DateTime:
            properties.SetString(entry.name, time::FormatLocal(*static_cast<const std::int64_t*>(entry.value)));
            break;
        case PropertyValueType::Number:
            properties.SetNumber(entry.name, *static_cast<const double*>(entry.value));
            break;
        case PropertyValueType::String:
            properties.SetString(entry.name, *static_cast<const std::string*>(entry.value));
            break;
        case PropertyValueType::StringList:
            properties.SetList(entry.name, *static_cast<const std::vector<std::string>*>(entry.value));
            break;
        }
    }
    return !entries.empty();
}

}  // namespace varnel::tracking
