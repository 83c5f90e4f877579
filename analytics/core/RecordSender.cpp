#include "analytics/core/RecordSender.h"

#include "analytics/core/Diagnostics.h"
#include "analytics/core/HttpRequest.h"
#include "analytics/core/UploadEncoding.h"

namespace collect {

RecordSender::RecordSender(std::string serverUrl) : serverUrl_(std::move(serverUrl)) {}

bool RecordSender::Send(const std::string& batch) const {
    std::optional<std::string> body = detail::BuildUploadBody(batch);
    if (!body) return false;
    const HttpResponse response = HttpRequest(serverUrl_, std::move(*body)).Perform();
    if (response.code == 200) return true;
    detail::ReportError("EventCollect SDK send failed: " + response.body + "\n");
    return false;
}

}  // namespace collect
