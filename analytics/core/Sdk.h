#pragma once
// The process-wide collection instance: identity (distinct id, login flag), super properties, and
// the record store. Every operation is static and, except Init, does nothing while no instance
// exists. Nothing throws; a record that fails a check is dropped with a message on standard
// error.
//
// Threads: Init, Identify, RegisterSuperProperties, Login and Shutdown change the instance without
// a lock and must not overlap any other call into the core. The record operations and Flush may
// otherwise be called from any thread; the record store serialises its queue.
#include <cstdint>
#include <memory>
#include <string>

#include "analytics/core/PropertiesNode.h"
#include "analytics/core/RecordStore.h"

namespace collect {

class Sdk {
public:
    // Checks the distinct id (identifier rule, label "Distinct ID") and creates the instance if
    // none exists; an existing instance is kept unchanged. False only when the id is refused.
    static bool Init(const std::string& stagingFilePath, const std::string& serverUrl, const std::string& distinctId,
                     bool isLoginId);

    // Replaces the distinct id and login flag; makes no record.
    static void Identify(const std::string& distinctId, bool isLoginId);

    // Merges `properties` into the super properties that every track record carries. A key that
    // breaks the name rule would corrupt every later record, so such a key is reported and left out.
    static void RegisterSuperProperties(const PropertiesNode& properties);

    static void Track(const std::string& eventName);
    static void Track(const std::string& eventName, const PropertiesNode& properties);
    // A track record whose properties start from "$ios_install_source" = "".
    static void TrackInstallation(const std::string& eventName, const PropertiesNode& properties);

    // A "track_signup" record ("$SignUp", original id = the current distinct id), then the
    // instance takes the login id as its distinct id and sets the login flag.
    static void Login(const std::string& loginId);

    static void ProfileSet(const PropertiesNode& properties);
    static void ProfileSet(const std::string& key, const std::string& value);
    static void ProfileSet(const std::string& key, std::int32_t value);
    static void ProfileSet(const std::string& key, double value);
    static void ProfileSetOnce(const PropertiesNode& properties);
    static void ProfileSetOnce(const std::string& key, const std::string& value);
    static void ProfileSetOnce(const std::string& key, std::int32_t value);
    static void ProfileSetOnce(const std::string& key, double value);
    static void ProfileIncrement(const PropertiesNode& properties);
    static void ProfileIncrement(const std::string& key, std::int32_t value);
    static void ProfileAppend(const std::string& key, const std::string& text);

    // RecordStore::FlushAll of the instance; false when there is no instance.
    static bool Flush();

    // RecordStore::Shutdown (queued records go to the staging file), then destroys the instance.
    static void Shutdown();

    static bool IsInitialized();

    // The instance's record store, or null; for the owner's diagnostics and tests.
    static RecordStore* Store();

    ~Sdk();
    Sdk(const Sdk&) = delete;
    Sdk& operator=(const Sdk&) = delete;

private:
    Sdk(const std::string& stagingFilePath, const std::string& serverUrl, const std::string& distinctId,
        bool isLoginId);

    void AddRecord(const char* type, const std::string& eventName, const PropertiesNode& properties,
                   const std::string& distinctId, const std::string& originalId);

    PropertiesNode superProperties_;
    std::string distinctId_;
    bool isLoginId_;
    std::unique_ptr<RecordStore> store_;
};

}  // namespace collect
