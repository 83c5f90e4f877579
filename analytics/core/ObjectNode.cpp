#include "analytics/core/ObjectNode.h"

namespace collect::utils {

ObjectNode::~ObjectNode() = default;

void ObjectNode::SetObject(const std::string& key, const ObjectNode& value) { Put(key, ValueNode::Object(value)); }

const ValueNode* ObjectNode::Find(const std::string& key) const {
    const auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

void ObjectNode::AppendJson(std::string& out) const {
    out.push_back('{');
    bool first = true;
    for (const auto& [key, value] : entries_) {
        if (value.Type() == ValueType::None) continue;
        if (!first) out.push_back(',');
        first = false;
        out.push_back('"');
        out.append(key);
        out.append("\":");
        value.AppendJson(out);
    }
    out.push_back('}');
}

std::string ObjectNode::ToJson() const {
    std::string out;
    AppendJson(out);
    return out;
}

}  // namespace collect::utils
