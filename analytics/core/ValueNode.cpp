#include "analytics/core/ValueNode.h"

#include "analytics/core/JsonWriter.h"
#include "analytics/core/ObjectNode.h"

namespace collect::utils {
namespace {
const std::string kEmptyString;
const std::vector<std::string> kEmptyList;
}  // namespace

ValueNode ValueNode::Number(double value) {
    ValueNode v;
    v.content_.emplace<double>(value);
    return v;
}

ValueNode ValueNode::Integer(std::int64_t value) {
    ValueNode v;
    v.content_.emplace<std::int64_t>(value);
    return v;
}

ValueNode ValueNode::String(std::string value) {
    ValueNode v;
    v.content_.emplace<std::string>(std::move(value));
    return v;
}

ValueNode ValueNode::List(std::vector<std::string> value) {
    ValueNode v;
    v.content_.emplace<std::vector<std::string>>(std::move(value));
    return v;
}

ValueNode ValueNode::DateTime(std::int64_t seconds, std::int32_t milliseconds) {
    ValueNode v;
    v.content_.emplace<DateTimeValue>(DateTimeValue{seconds, milliseconds});
    return v;
}

ValueNode ValueNode::Bool(bool value) {
    ValueNode v;
    v.content_.emplace<bool>(value);
    return v;
}

ValueNode ValueNode::Object(const ObjectNode& value) {
    ValueNode v;
    // A copy of the base part only: a nested object is data, whatever map type it came from.
    v.content_.emplace<std::shared_ptr<const ObjectNode>>(std::make_shared<const ObjectNode>(value));
    return v;
}

double ValueNode::AsNumber() const {
    const double* p = std::get_if<double>(&content_);
    return p ? *p : 0.0;
}

std::int64_t ValueNode::AsInteger() const {
    const std::int64_t* p = std::get_if<std::int64_t>(&content_);
    return p ? *p : 0;
}

const std::string& ValueNode::AsString() const {
    const std::string* p = std::get_if<std::string>(&content_);
    return p ? *p : kEmptyString;
}

const std::vector<std::string>& ValueNode::AsList() const {
    const auto* p = std::get_if<std::vector<std::string>>(&content_);
    return p ? *p : kEmptyList;
}

DateTimeValue ValueNode::AsDateTime() const {
    const DateTimeValue* p = std::get_if<DateTimeValue>(&content_);
    return p ? *p : DateTimeValue{};
}

bool ValueNode::AsBool() const {
    const bool* p = std::get_if<bool>(&content_);
    return p ? *p : false;
}

const ObjectNode* ValueNode::AsObject() const {
    const auto* p = std::get_if<std::shared_ptr<const ObjectNode>>(&content_);
    return p ? p->get() : nullptr;
}

void ValueNode::AppendJson(std::string& out) const {
    switch (Type()) {
        case ValueType::None: break;
        case ValueType::Number: json::AppendNumber(out, std::get<double>(content_)); break;
        case ValueType::Integer: json::AppendInteger(out, std::get<std::int64_t>(content_)); break;
        case ValueType::String: json::AppendString(out, std::get<std::string>(content_)); break;
        case ValueType::List: {
            out.push_back('[');
            bool first = true;
            for (const std::string& item : std::get<std::vector<std::string>>(content_)) {
                if (!first) out.push_back(',');
                first = false;
                json::AppendString(out, item);
            }
            out.push_back(']');
            break;
        }
        case ValueType::DateTime: {
            const DateTimeValue& dt = std::get<DateTimeValue>(content_);
            json::AppendDateTime(out, dt.seconds, dt.milliseconds);
            break;
        }
        case ValueType::Bool: json::AppendBool(out, std::get<bool>(content_)); break;
        case ValueType::Object: std::get<std::shared_ptr<const ObjectNode>>(content_)->AppendJson(out); break;
    }
}

}  // namespace collect::utils
