#pragma once
// The skin package: opening it, loading language resource lists and switching the language
// of every open window.
//
// Where the skin comes from: the package linked into the executable ("ZIPRES"/"IDR_SKIN"),
// or, when the environment variable QV_SKIN_DIR names a folder, that folder (designers edit a
// skin without rebuilding). Nothing is extracted to disk.
//
// Thread: the user-interface thread only.
#include <string>

namespace Skin {

// Opens the skin (see above), wires the text lookups of the toolkit and of the install stages
// to the TextTable, sets LanguageId to 1033 and loads "en-US". A missing or empty package
// registers nothing and is not reported here: the first window that cannot build its layout
// tells the user.
void OpenSkinPackage();
// The same from a given folder (tools, tests). False when the folder cannot be opened.
bool OpenSkinFolder(const std::string& folder);

// Reads a resource list ("index.xml"): `path` is a path inside the skin package, or, when it
// starts with "<", the XML text itself. Returns true when the file was parsed and had a root
// element; entries whose files are missing are skipped.
bool LoadResourceList(const std::wstring& path);

// Loads "lang\Default\index.xml", then "lang\<locale>\index.xml" (its result is returned),
// records the locale as the toolkit's current language and refreshes every open window, the
// last created first.
bool SwitchSkinLanguage(const std::wstring& locale);

// Points the toolkit's "resourcetext" lookup and the install stages' text lookup at the
// TextTable (OpenSkinPackage does this; tests that load a skin by hand call it).
void WireTextLookups();

}  // namespace Skin
