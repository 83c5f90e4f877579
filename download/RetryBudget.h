#pragma once
// The retry budget of a libcurl download: a failure with libcurl's partial-file code (18,
// a connection that broke mid-body and can be resumed) costs 1, any other failure 2. The
// attempt that brings the budget to 0 or below is the last.
#include <curl/curl.h>

class RetryBudget {
public:
    explicit RetryBudget(int initial) : left_(initial) {}

    // Charges one failure; true while another attempt is allowed.
    bool Charge(int code) {
        left_ -= (code == CURLE_PARTIAL_FILE) ? 1 : 2;
        return left_ > 0;
    }
    int Left() const { return left_; }

private:
    int left_;
};
