#include "install/StatusLineBuffer.h"

void StatusLineBuffer::Feed(std::string_view bytes, const LineHandler& onLine) {
    while (!bytes.empty()) {
        const size_t newline = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, newline);
        if (!truncated_) {
            const size_t room = kMaxLineBytes - pending_.size();
            pending_.append(piece.substr(0, room));
            truncated_ = piece.size() > room;
        }
        if (newline == std::string_view::npos) return;
        Emit(onLine);
        bytes.remove_prefix(newline + 1);
    }
}

void StatusLineBuffer::Finish(const LineHandler& onLine) {
    if (!pending_.empty()) Emit(onLine);
    truncated_ = false;
}

void StatusLineBuffer::Emit(const LineHandler& onLine) {
    std::string line;
    line.swap(pending_);
    truncated_ = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    onLine(line);
}
