#include "analytics/core/PropertiesNode.h"

#include <cmath>
#include <string>

#include "analytics/core/Diagnostics.h"
#include "analytics/core/Rules.h"

namespace collect {

using utils::ValueNode;
using utils::ValueType;

PropertiesNode::~PropertiesNode() = default;

void PropertiesNode::SetObject(const std::string&, const utils::ObjectNode&) {}

bool PropertiesNode::SetString(const std::string& key, const std::string& value) {
    if (!rules::CheckStringValue(key, value)) return false;
    Put(key, ValueNode::String(value));
    return true;
}

bool PropertiesNode::SetString(const std::string& key, const char* value) {
    if (value == nullptr) return false;
    return SetString(key, std::string(value));
}

void PropertiesNode::SetNumber(const std::string& key, std::int32_t value) {
    Put(key, ValueNode::Integer(static_cast<std::int64_t>(value)));
}

bool PropertiesNode::SetNumber(const std::string& key, double value) {
    if (!std::isfinite(value)) {
        std::string text = "Number property '" + key + "' is not a finite number, value: ";
        text.append(std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf")).push_back('\n');
        detail::ReportError(text);
        return false;
    }
    Put(key, ValueNode::Number(value));
    return true;
}

void PropertiesNode::SetBool(const std::string& key, bool value) { Put(key, ValueNode::Bool(value)); }

void PropertiesNode::SetDateTime(const std::string& key, std::int64_t seconds, std::int32_t milliseconds) {
    Put(key, ValueNode::DateTime(seconds, milliseconds));
}

bool PropertiesNode::SetList(const std::string& key, const std::vector<std::string>& items) {
    for (const std::string& item : items)
        if (!rules::CheckStringValue(key, item)) return false;
    Put(key, ValueNode::List(items));
    return true;
}

void PropertiesNode::Merge(const PropertiesNode& other) {
    for (const auto& [key, value] : other.Items()) entries_[key] = value;
}

bool PropertiesNode::Check() const {
    for (const auto& [key, value] : entries_) {
        if (!rules::CheckName(rules::kPropertyKeyLabel, key)) return false;
        if (key == "$time" && value.Type() != ValueType::DateTime) {
            detail::ReportError("The property '$time' should be DateTime type.");
            return false;
        }
        if (key == "$project" && value.Type() != ValueType::String) {
            detail::ReportError("The property '$project' should be String type.");
            return false;
        }
    }
    return true;
}

}  // namespace collect
