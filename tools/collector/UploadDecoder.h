#pragma once
// Decodes an analytics upload the way the collection service does: the form body
// "data_list=<percent-encoded base64 of a gzip stream>&gzip=1" back to the batch text, which must
// be a JSON array of objects. Strict: any malformed layer is an error, never a guess.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace collector {

struct DecodedUpload {
    bool ok = false;
    std::string error;                     // why the body was refused
    std::string batchText;                 // the decompressed JSON text
    std::vector<std::string> recordTexts;  // each array element, byte for byte as sent
};

DecodedUpload DecodeUploadBody(std::string_view body);

// "%XX" to bytes ("+" is a space, as in any form body). Nothing on a bad escape.
std::optional<std::string> PercentDecode(std::string_view text);
// Standard alphabet with padding; nothing on a bad character, length or padding.
std::optional<std::string> Base64Decode(std::string_view text);
// One complete gzip member; nothing when the stream is damaged, incomplete, followed by other
// bytes, or would inflate beyond `limit` bytes.
std::optional<std::string> Gunzip(std::string_view data, std::size_t limit = 256u << 20);
// The raw texts of the elements of a JSON array of objects; nothing unless `text` parses as such.
std::optional<std::vector<std::string>> SplitRecordArray(std::string_view text, std::string* error = nullptr);

}  // namespace collector
