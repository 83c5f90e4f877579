#pragma once
// INI ("profile") files with the semantics the installer, its stores and the tracker rely on:
// section and key names compared without regard to ASCII case, the first of repeated keys
// wins, values lose surrounding blanks and one pair of surrounding quotes, a write keeps
// every other line of the file, and missing sections and files are created. Files are stored
// as the system's own profile functions store them: UTF-8 on Linux (a leading byte-order mark
// is accepted); on Windows the system code page, or UTF-16LE when the file starts with its
// byte-order mark (a file keeps the form it had). Saving is atomic: a temporary file in the
// same folder is renamed over the old one, so a crash never leaves half a file.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Utils {

// How a profile file's text is stored.
enum class ProfileEncoding {
    Utf8,
    SystemCodePage,  // Windows: the ANSI code page
    Utf16Le,         // Windows: with its byte-order mark
};

namespace detail {
// The system's parts of the module (one pair of files per system).
ProfileEncoding DefaultProfileEncoding();
// File bytes to UTF-8 text, and back; `encoding` receives / names the file's form.
std::string DecodeProfileBytes(std::string_view bytes, ProfileEncoding& encoding);
std::string EncodeProfileText(std::string_view utf8, ProfileEncoding encoding);
}  // namespace detail

class ProfileFile {
public:
    ProfileFile() = default;
    // Parses text; never fails (lines that are neither sections nor "key=value" are kept
    // verbatim and ignored, as the system reader does).
    static ProfileFile Parse(std::string_view utf8);
    // Parses a file's bytes in whatever form the system's profile functions accept, and
    // remembers that form for ToFileBytes.
    static ProfileFile FromFileBytes(std::string_view bytes);
    // Loads a file; a missing or unreadable file gives an empty profile.
    static ProfileFile Load(const std::filesystem::path& file);
    // Like Load, but nothing when the file exists and cannot be read, so a writer never
    // replaces a file it could not read.
    static std::optional<ProfileFile> LoadForUpdate(const std::filesystem::path& file);

    std::optional<std::wstring> Get(std::wstring_view section, std::wstring_view key) const;
    // The value read as GetProfileInt reads it (below).
    int GetInt(std::wstring_view section, std::wstring_view key, int fallback) const;
    bool HasSection(std::wstring_view section) const;
    // Sets a value, replacing the first line of that key or adding one at the end of the
    // section (the section is appended when missing). Refuses (false) names or values that
    // would change the file's structure: line breaks, a key with "=" or a leading "[" or ";".
    bool Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
    // Removes every line of the key; false when there was none.
    bool Remove(std::wstring_view section, std::wstring_view key);

    // The text as UTF-8; ToFileBytes in the file's own form (new files: the system's default).
    std::string Serialize() const;
    std::string ToFileBytes() const;
    // Atomic replace; `mode` is used for a new file, an existing file keeps its own mode. A link
    // is written through to its target (refused when a link or the target is another user's,
    // see ResolveProfileTarget). Takes no lock: concurrent writers use UpdateProfileFile.
    bool Save(const std::filesystem::path& file, unsigned mode = 0644) const;

private:
    struct Range {
        size_t header;  // index of the "[section]" line
        size_t end;     // one past the last line of the section
    };
    std::optional<Range> FindSection(std::wstring_view section) const;

    std::vector<std::string> lines_;
    bool endsWithNewline_ = true;
    ProfileEncoding encoding_ = detail::DefaultProfileEncoding();
};

// The system's profile calls, over a file path.
// GetProfileString: the value, or `fallback` when the key or file is missing, cut to
// `bufferChars - 1` characters as a buffer of that size would cut it (0 gives "").
std::wstring GetProfileString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback,
                              size_t bufferChars, const std::filesystem::path& file);
// GetProfileInt: the leading integer of the value after blanks and a sign ("0x" or "0X" for
// hexadecimal), 0 when the value has no digits, `fallback` when the key is missing or its
// value empty; out-of-range values wrap as a 32-bit unsigned conversion does.
int GetProfileInt(std::wstring_view section, std::wstring_view key, int fallback, const std::filesystem::path& file);
// WriteProfileString: read-modify-write under the file's lock, through links of this user
// (see UpdateProfileFile); false on refusal, lock time-out or I/O error. Two processes that
// write different keys of one file at the same time keep both keys.
bool WriteProfileString(std::wstring_view section, std::wstring_view key, std::wstring_view value,
                        const std::filesystem::path& file);
// On Windows these three are the system's private-profile functions, serialised between our
// processes by the file's lock; on Linux they are this module.

}  // namespace Utils
