#pragma once
// Sends one batch of records to the collection endpoint: encodes it (gzip, base64, percent) and
// posts the form body. Success is an HTTP 200 answer and nothing else.
//
// Holds no state besides the endpoint; Send may be called from any thread, one call at a time per
// record store (its flush lock sees to that).
#include <string>

namespace collect {

class RecordSender {
public:
    explicit RecordSender(std::string serverUrl);

    // `batch` is the JSON array text "[record,record,...]". Failures are reported on standard
    // error as "EventCollect SDK send failed: <server body or libcurl text>".
    bool Send(const std::string& batch) const;

    const std::string& ServerUrl() const { return serverUrl_; }

private:
    std::string serverUrl_;
};

}  // namespace collect
