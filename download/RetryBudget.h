#pragma once
// The retry budget of a libcurl download: a failure with libcurl's partial-file code (18,
// a connection that broke mid-body and can be resumed) costs 1, any other failure 2.
//
// Two ways to spend it: the single-connection downloader charges a failure first and retries
// while something is left (budget 6: three general failures end the run); a part of the
// multi-connection downloader retries while something is left and charges afterwards (budget
// 12: seven attempts when every failure is a general one).
//
// Thread: the thread of the one download (or part) that spends it.
#include <curl/curl.h>

class RetryBudget {
public:
    explicit RetryBudget(int initial) : left_(initial) {}

    // Charges one failure; true while another attempt is allowed.
    bool Charge(int code) {
        left_ -= (code == CURLE_PARTIAL_FILE) ? 1 : 2;
        return left_ > 0;
    }
    bool HasLeft() const { return left_ > 0; }
    int Left() const { return left_; }

private:
    int left_;
};
