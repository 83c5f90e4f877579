// UsageTrackerImpl: construction, set-up, persisted state, finishing modes, login and release.
// The tracking operations themselves are in UsageTrackerImpl.cpp.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "analytics/core/RecordStore.h"
#include "analytics/core/Sdk.h"
#include "analytics/tracker/source/src/CollectCoreLease.h"
#include "analytics/tracker/source/src/CommonProperties.h"
#include "analytics/tracker/source/src/DistinctIdGenerator.h"
#include "analytics/tracker/source/src/NativeTrackLogger.h"
#include "analytics/tracker/source/src/NativeUserTracker.h"
#include "analytics/tracker/source/src/TrackerPathText.h"
#include "analytics/tracker/source/src/TrackerPlatform.h"
#include "analytics/tracker/source/src/TrackerTime.h"
#include "analytics/tracker/source/src/UsageTrackerImpl.h"
#include "analytics/tracker/source/src/VnException.h"
#include "utils/Log.h"
#include "utils/ProfileFile.h"
#include "utils/StringUtils.h"

namespace varnel::tracking {
namespace {

constexpr char kSetupSource[] = "UsageTrackerImpl";
constexpr wchar_t kRedirectionSection[] = L"Install";
constexpr wchar_t kRedirectionKey[] = L"VORazavedUvivorareIni";

// appName as one file-name component: it names the tracker's folder and files, and a separator
// or a dot name in it must not lead them out of the tracker's folder.
std::string FileNameOf(const std::string& appName) {
    std::string name = appName;
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\0', '_');
    if (name == "." || name == "..") std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

// The folder's text ending in the system's own separator ("\\" on Windows), so that a file name
// appended to it reads as the system writes paths.
std::string WithSeparator(const std::filesystem::path& folder) {
    constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
    std::string text = PathText(folder.lexically_normal());
    if (text.empty() || (text.back() != '/' && text.back() != kSeparator)) text.push_back(kSeparator);
    return text;
}

}  // namespace

UsageTrackerImpl::UsageTrackerImpl(const TrackerConfig& config, TrackerEnvironment environment)
    : appName_(config.appName),
      appVersion_(config.appVersion),
      appStore_(config.appStore),
      dlAppId_(config.dlAppId),
      dlAppVersion_(config.dlAppVersion),
      edition_(config.edition),
      serverUrl_(config.serverUrl),
      environment_(std::move(environment)),
      osName_(platform::OsName()),
      osVersion_(platform::OsVersion()),
      userAgent_(platform::UserAgent(osName_, osVersion_, platform::Is64BitSystem())),
      state_(std::make_unique<TrackerState>()) {
    state_->logFilePath = config.logFilePath;
}

UsageTrackerImpl::~UsageTrackerImpl() {
    try {
        {
            std::lock_guard guard(stateLock_);
            if (!state_->configFilePath.empty()) state_->save();
        }
        if (core_ && state_->pending.load() > 0) flushCore();
        core_.reset();
        state_.reset();
        if (logger_) logger_->close();
        logger_.reset();
    } catch (...) {
        // Release must not fail; whatever is still queued stays in the core's staging file.
    }
}

void UsageTrackerImpl::init() {
    if (appName_.empty()) throw VnException("appName is empty", kSetupSource, "init", __LINE__);
    if (appVersion_.empty()) throw VnException("appVersion is empty", kSetupSource, "init", __LINE__);
    if (appStore_.empty()) throw VnException("appStore is empty", kSetupSource, "init", __LINE__);
    state_->pending.store(0);

    std::unique_lock guard(stateLock_);
    locateFiles();
    if (serverUrl_.empty()) serverUrl_ = environment_.defaultServerUrl;
    if (serverUrl_.empty()) serverUrl_ = TrackerEnvironment::BuiltInServerUrl();
    loadIdentity();

    if (state_->logFilePath.empty()) state_->logFilePath = state_->localFolder + FileNameOf(appName_) + kLogFileSuffix;
    logger_ = std::make_unique<NativeTrackLogger>();
    logger_->open(state_->logFilePath);

    const bool loggedIn = state_->loggedIn;
    const std::string identity = loggedIn ? state_->userId : state_->distinctId;
    core_ = CollectCoreLease::acquire(state_->localFolder, serverUrl_, identity, loggedIn);
    if (!core_) throw VnException("collect::Sdk::Init is failed", kSetupSource, "init", __LINE__);
    // Records an earlier run could not send (a crash report among them) leave at this run's
    // release, even when this run tracks nothing itself.
    std::error_code ec;
    const auto staged =
        std::filesystem::file_size(TextPath(state_->localFolder + collect::RecordStore::kStagingFileName), ec);
    if (!ec && staged > 0) state_->pending.store(1);

    registerCommonProperties();
    state_->saveUninstallInfo(appStore_, appName_, appVersion_);
}

void UsageTrackerImpl::locateFiles() {
    std::string redirected;
    if (const auto file = platform::FindFileNoCase(environment_.executableFolder, kRedirectionFile)) {
        // Read whole (within the state's bound): a path cut short would name some other file.
        redirected = Utils::ToUtf8(Utils::GetProfileString(kRedirectionSection, kRedirectionKey, L"",
                                                           TrackerState::kMaxValueChars + 1, *file));
        std::replace(redirected.begin(), redirected.end(), '\\', '/');
    }
    const std::string fileName = FileNameOf(appName_);
    if (redirected.find('/') == std::string::npos) {
        if (environment_.localStateFolder.empty())
            throw VnException("the local state folder is unknown", kSetupSource, "init", __LINE__);
        const std::filesystem::path folder = environment_.localStateFolder / "VNLocal" / TextPath(fileName);
        platform::CreateFolderChain(folder);
        state_->localFolder = WithSeparator(folder);
        state_->configFilePath = state_->localFolder + fileName + kConfigFileSuffix;
        return;
    }
    std::filesystem::path config = TextPath(redirected);
    // A relative name is taken from the folder that holds the redirection file, not from
    // whatever the current folder happens to be.
    if (config.is_relative()) config = environment_.executableFolder / config;
    config = config.lexically_normal();
    platform::CreateFolderChain(config.parent_path());
    state_->localFolder = WithSeparator(config.parent_path());
    state_->configFilePath = PathText(config);
}

void UsageTrackerImpl::newIdentity() { state_->distinctId = DistinctIdGenerator::NewId(environment_.createGuid); }

void UsageTrackerImpl::loadIdentity() {
    state_->load();
    if (state_->distinctId.empty()) {
        newIdentity();
        state_->save();
    }
    // A different endpoint starts a new identity: the stored ids belong to the old service.
    if (state_->storedUrl != serverUrl_) {
        state_->userId.clear();
        state_->loggedIn = false;
        newIdentity();
        state_->storedUrl = serverUrl_;
        state_->save();
    }
    if (state_->userId.empty()) state_->loggedIn = false;
}

void UsageTrackerImpl::registerCommonProperties() {
    CommonPropertyInputs in;
    in.appName = appName_;
    in.appVersion = appVersion_;
    in.appStore = appStore_;
    in.dlAppId = dlAppId_;
    in.dlAppVersion = dlAppVersion_;
    in.edition = edition_;
    in.appPlatform = platform::AppPlatform();
    in.sdkName = platform::SdkName();
    in.osName = osName_;
    in.osVersion = osVersion_;
    in.screenWidth = environment_.screenWidth;
    in.screenHeight = environment_.screenHeight;
    in.userId = state_->userId;
    const LocaleTexts locale = CommonProperties::resolveLocale(state_->locale, environment_.systemLocale);
    collect::Sdk::RegisterSuperProperties(CommonProperties::build(in, locale));
}

bool UsageTrackerImpl::flushCore() {
    for (int attempt = 0; attempt < kFlushAttempts; ++attempt) {
        if (collect::Sdk::Flush()) {
            state_->pending.store(0);
            return true;
        }
    }
    return false;
}

void UsageTrackerImpl::finishFlush() {
    if (core_) flushCore();
}

void UsageTrackerImpl::finishPending() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    state_->pending.fetch_add(1);
}

void UsageTrackerImpl::applyLogin(const VnUserInfo& user) {
    {
        std::lock_guard guard(stateLock_);
        TrackerState& s = *state_;
        s.vipLevel = user.vipLevel;
        const bool anonymous = !s.loggedIn || s.userId.empty();
        // Another user on a logged-in tracker takes over the identity without a sign-up record
        // (which would merge the two users); the same user only refreshes the VIP level.
        if (anonymous || s.userId != user.userId) {
            if (core_ && anonymous) collect::Sdk::Login(user.userId);
            s.loggedIn = true;
            s.userId = user.userId;
            s.distinctId = user.userId;
            if (core_) {
                collect::Sdk::Identify(user.userId, true);
                collect::PropertiesNode userProperty;
                userProperty.SetString("vn_user_id", user.userId);
                collect::Sdk::RegisterSuperProperties(userProperty);
            }
        }
        s.save();
    }
    if (core_) NativeUserTracker::trackUserLoginProperty(user, time::NowMilliseconds());
    state_->pending.fetch_add(1);
}

void UsageTrackerImpl::setL10nLocale(const std::string& locale) {
    // Throws nothing: the wrapper forwards this call as it is.
    try {
        std::lock_guard guard(stateLock_);
        state_->locale = locale;
        if (!core_) return;
        collect::PropertiesNode properties;
        CommonProperties::addLocale(properties, CommonProperties::resolveLocale(locale, environment_.systemLocale));
        collect::Sdk::RegisterSuperProperties(properties);
    } catch (...) {
    }
}

TrackLogger* UsageTrackerImpl::getTrackLogger() { return logger_.get(); }

UsageTrackerImpl::Snapshot UsageTrackerImpl::snapshot() const {
    std::lock_guard guard(stateLock_);
    Snapshot s;
    s.loggedIn = state_->loggedIn;
    s.userId = state_->userId;
    s.distinctId = state_->distinctId;
    s.storedUrl = state_->storedUrl;
    s.localFolder = state_->localFolder;
    s.configFilePath = state_->configFilePath;
    s.logFilePath = state_->logFilePath;
    s.locale = state_->locale;
    s.vipLevel = state_->vipLevel;
    s.pending = state_->pending.load();
    s.hasCore = core_ != nullptr;
    return s;
}

std::string UsageTrackerImpl::serverUrl() const { return serverUrl_; }

}  // namespace varnel::tracking
