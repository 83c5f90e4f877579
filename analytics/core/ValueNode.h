#pragma once
// One property value of a record: a number, integer, string, list of strings, date-time,
// boolean or nested object. A default-constructed value has no type and is never written.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace collect::utils {

class ObjectNode;

// The type codes of the record format.
enum class ValueType : int {
    None = -1,
    Number = 0,    // 64-bit float
    Integer = 1,   // signed 64-bit integer
    String = 2,    // UTF-8 text
    List = 3,      // list of strings
    DateTime = 4,  // seconds since 1970 (UTC) and milliseconds
    Bool = 5,
    Object = 6,
};

struct DateTimeValue {
    std::int64_t seconds = 0;
    std::int32_t milliseconds = 0;
};

class ValueNode {
public:
    ValueNode() = default;

    static ValueNode Number(double value);
    static ValueNode Integer(std::int64_t value);
    static ValueNode String(std::string value);
    static ValueNode List(std::vector<std::string> value);
    static ValueNode DateTime(std::int64_t seconds, std::int32_t milliseconds);
    static ValueNode Bool(bool value);
    static ValueNode Object(const ObjectNode& value);  // keeps its own copy

    ValueType Type() const { return static_cast<ValueType>(static_cast<int>(content_.index()) - 1); }

    // Each accessor returns the content when the value has that type, else an empty default.
    double AsNumber() const;
    std::int64_t AsInteger() const;
    const std::string& AsString() const;
    const std::vector<std::string>& AsList() const;
    DateTimeValue AsDateTime() const;
    bool AsBool() const;
    const ObjectNode* AsObject() const;  // null unless the type is Object

    // Appends the value's JSON text; a value without a type appends nothing.
    void AppendJson(std::string& out) const;

private:
    // The alternatives are in type-code order, shifted by one for the empty state.
    using Content = std::variant<std::monostate, double, std::int64_t, std::string, std::vector<std::string>,
                                 DateTimeValue, bool, std::shared_ptr<const ObjectNode>>;
    Content content_;
};

}  // namespace collect::utils
