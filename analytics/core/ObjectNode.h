#pragma once
// An ordered map from key to value whose JSON text is the body of every record. Keys are ordered
// byte by byte (on a common prefix the shorter key first), so "$"-keys come before capitals and
// capitals before lower case, and the same map always gives the same text.
//
// Not thread-safe: one thread builds a map, then it may be read from any thread.
#include <map>
#include <string>

#include "analytics/core/ValueNode.h"

namespace collect::utils {

class ObjectNode {
public:
    using Entries = std::map<std::string, ValueNode>;  // std::string compares bytes as unsigned

    ObjectNode() = default;
    ObjectNode(const ObjectNode&) = default;
    ObjectNode(ObjectNode&&) = default;
    ObjectNode& operator=(const ObjectNode&) = default;
    ObjectNode& operator=(ObjectNode&&) = default;

    // Stores a copy of `value` under `key`, replacing any earlier value.
    virtual void SetObject(const std::string& key, const ObjectNode& value);
    virtual ~ObjectNode();

    const ValueNode* Find(const std::string& key) const;
    bool Contains(const std::string& key) const { return entries_.count(key) != 0; }
    bool Remove(const std::string& key) { return entries_.erase(key) != 0; }
    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    const Entries& Items() const { return entries_; }

    // "{" + "\"key\":" + value, joined by "," + "}": no spaces, keys written as stored (the
    // name rule keeps them free of characters that would need escaping). Entries without a
    // value are skipped.
    void AppendJson(std::string& out) const;
    std::string ToJson() const;

protected:
    // Replaces any earlier value under `key`. No rule is applied here.
    void Put(const std::string& key, ValueNode value) { entries_[key] = std::move(value); }

    Entries entries_;
};

}  // namespace collect::utils
