#pragma once
// The few user-visible texts the install stages and the unattended mode need, looked up by
// their skin text id. Until the window's language resources are plugged in (SetTextLookup),
// the built-in en-US texts answer; an unknown id yields the id itself, as the skin's table
// does.
//
// Threads: install the lookup once on the main thread before any install starts; lookups
// may then come from any thread.
#include <string>

namespace InstallTexts {

using Lookup = std::wstring (*)(const std::wstring& id);

// Replaces the lookup; nullptr restores the built-in texts.
void SetTextLookup(Lookup lookup);
std::wstring Text(const std::wstring& id);
// The built-in en-US text of `id`, or the id itself.
std::wstring BuiltInText(const std::wstring& id);

}  // namespace InstallTexts
