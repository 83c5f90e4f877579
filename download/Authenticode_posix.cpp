#include "download/Authenticode.h"

namespace Download {

AuthenticodeVerdict VerifyAuthenticode(const std::wstring&, const std::string&) {
    return {false, "Authenticode signatures cannot be checked on this system"};
}

}  // namespace Download
