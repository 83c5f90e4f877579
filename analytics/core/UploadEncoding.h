#pragma once
// How one batch travels: gzip (deflate level 9 with the gzip wrapper), then base64, then
// percent-encoding, inside the form body "data_list=<encoded>&gzip=1".
#include <optional>
#include <string>
#include <string_view>

namespace collect::detail {

// Compresses `input` in gzip format at level 9 (32 KiB window, memory level 8, default
// strategy), in 32 KiB output steps. On a zlib failure the reason goes to standard error and
// nothing is returned.
std::optional<std::string> GzipCompress(std::string_view input);

// Standard alphabet, "=" padding, no line breaks.
std::string Base64Encode(std::string_view input);

// Letters, digits and "-._~" stay; every other byte becomes "%XX" with upper-case digits.
std::string PercentEncode(std::string_view input);

// "data_list=" + PercentEncode(Base64Encode(GzipCompress(batch))) + "&gzip=1"; nothing when the
// compression fails.
std::optional<std::string> BuildUploadBody(std::string_view batch);

}  // namespace collect::detail
