#include "analytics/core/Sdk.h"

#include <atomic>

#include "analytics/core/RecordBuilder.h"
#include "analytics/core/Rules.h"

namespace collect {
namespace {

// The one instance. Published and withdrawn only by Init and Shutdown, which by contract run
// alone; the atomic keeps concurrent readers of the pointer well defined.
std::atomic<Sdk*> g_instance{nullptr};

Sdk* Instance() { return g_instance.load(std::memory_order_acquire); }

PropertiesNode OneString(const std::string& key, const std::string& value) {
    PropertiesNode p;
    p.SetString(key, value);
    return p;
}

PropertiesNode OneInteger(const std::string& key, std::int32_t value) {
    PropertiesNode p;
    p.SetNumber(key, value);
    return p;
}

PropertiesNode OneNumber(const std::string& key, double value) {
    PropertiesNode p;
    p.SetNumber(key, value);
    return p;
}

}  // namespace

Sdk::Sdk(const std::string& stagingFilePath, const std::string& serverUrl, const std::string& distinctId,
         bool isLoginId)
    : distinctId_(distinctId), isLoginId_(isLoginId), store_(std::make_unique<RecordStore>(serverUrl, stagingFilePath)) {
    superProperties_.SetString("$lib", detail::kLibName);
    superProperties_.SetString("$lib_version", detail::kLibVersion);
}

Sdk::~Sdk() = default;

bool Sdk::Init(const std::string& stagingFilePath, const std::string& serverUrl, const std::string& distinctId,
               bool isLoginId) {
    if (!rules::CheckIdentifier(rules::kDistinctIdLabel, distinctId)) return false;
    if (Instance() == nullptr) g_instance.store(new Sdk(stagingFilePath, serverUrl, distinctId, isLoginId),
                                                std::memory_order_release);
    return true;
}

void Sdk::Identify(const std::string& distinctId, bool isLoginId) {
    if (Sdk* sdk = Instance()) {
        sdk->distinctId_ = distinctId;
        sdk->isLoginId_ = isLoginId;
    }
}

void Sdk::RegisterSuperProperties(const PropertiesNode& properties) {
    Sdk* sdk = Instance();
    if (!sdk) return;
    PropertiesNode filtered = properties;
    for (const auto& [key, value] : properties.Items())
        if (!rules::CheckName(rules::kPropertyKeyLabel, key)) filtered.Remove(key);
    sdk->superProperties_.Merge(filtered);
}

void Sdk::AddRecord(const char* type, const std::string& eventName, const PropertiesNode& properties,
                    const std::string& distinctId, const std::string& originalId) {
    detail::RecordInput input;
    input.type = type;
    input.eventName = eventName;
    input.properties = &properties;
    input.distinctId = distinctId;
    input.originalId = originalId;
    input.superProperties = &superProperties_;
    input.isLoginId = isLoginId_;
    input.nowMilliseconds = detail::NowMilliseconds();
    if (std::optional<std::string> record = detail::BuildRecord(input)) store_->Add(std::move(*record));
}

void Sdk::Track(const std::string& eventName) { Track(eventName, PropertiesNode()); }

void Sdk::Track(const std::string& eventName, const PropertiesNode& properties) {
    if (Sdk* sdk = Instance()) sdk->AddRecord(detail::kTypeTrack, eventName, properties, sdk->distinctId_, {});
}

void Sdk::TrackInstallation(const std::string& eventName, const PropertiesNode& properties) {
    Sdk* sdk = Instance();
    if (!sdk) return;
    PropertiesNode merged;
    merged.SetString("$ios_install_source", "");
    merged.Merge(properties);
    sdk->AddRecord(detail::kTypeTrack, eventName, merged, sdk->distinctId_, {});
}

void Sdk::Login(const std::string& loginId) {
    Sdk* sdk = Instance();
    if (!sdk) return;
    sdk->AddRecord(detail::kTypeTrackSignup, "$SignUp", PropertiesNode(), loginId, sdk->distinctId_);
    sdk->distinctId_ = loginId;
    sdk->isLoginId_ = true;
}

void Sdk::ProfileSet(const PropertiesNode& properties) {
    if (Sdk* sdk = Instance()) sdk->AddRecord(detail::kTypeProfileSet, {}, properties, sdk->distinctId_, {});
}
void Sdk::ProfileSet(const std::string& key, const std::string& value) {
    if (Instance()) ProfileSet(OneString(key, value));
}
void Sdk::ProfileSet(const std::string& key, std::int32_t value) {
    if (Instance()) ProfileSet(OneInteger(key, value));
}
void Sdk::ProfileSet(const std::string& key, double value) {
    if (Instance()) ProfileSet(OneNumber(key, value));
}

void Sdk::ProfileSetOnce(const PropertiesNode& properties) {
    if (Sdk* sdk = Instance()) sdk->AddRecord(detail::kTypeProfileSetOnce, {}, properties, sdk->distinctId_, {});
}
void Sdk::ProfileSetOnce(const std::string& key, const std::string& value) {
    if (Instance()) ProfileSetOnce(OneString(key, value));
}
void Sdk::ProfileSetOnce(const std::string& key, std::int32_t value) {
    if (Instance()) ProfileSetOnce(OneInteger(key, value));
}
void Sdk::ProfileSetOnce(const std::string& key, double value) {
    if (Instance()) ProfileSetOnce(OneNumber(key, value));
}

void Sdk::ProfileIncrement(const PropertiesNode& properties) {
    if (Sdk* sdk = Instance()) sdk->AddRecord(detail::kTypeProfileIncrement, {}, properties, sdk->distinctId_, {});
}
void Sdk::ProfileIncrement(const std::string& key, std::int32_t value) {
    if (Instance()) ProfileIncrement(OneInteger(key, value));
}

void Sdk::ProfileAppend(const std::string& key, const std::string& text) {
    Sdk* sdk = Instance();
    if (!sdk) return;
    PropertiesNode properties;
    properties.SetList(key, {text});
    sdk->AddRecord(detail::kTypeProfileAppend, {}, properties, sdk->distinctId_, {});
}

bool Sdk::Flush() {
    Sdk* sdk = Instance();
    return sdk ? sdk->store_->FlushAll() : false;
}

void Sdk::Shutdown() {
    Sdk* sdk = g_instance.exchange(nullptr, std::memory_order_acq_rel);
    if (!sdk) return;
    sdk->store_->Shutdown();
    delete sdk;
}

bool Sdk::IsInitialized() { return Instance() != nullptr; }

RecordStore* Sdk::Store() {
    Sdk* sdk = Instance();
    return sdk ? sdk->store_.get() : nullptr;
}

}  // namespace collect
