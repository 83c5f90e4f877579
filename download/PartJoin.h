#pragma once
// The join of a multi-connection run: part file 0 grows into the whole file, the later parts are
// copied behind it (holes stay holes), and the result is renamed to the target.
//
// With two parts the copy of part 1 starts as soon as part 0 is complete, while part 1 is still
// arriving, so that little is left to copy when the last byte lands.
//
// Threads: the finisher of the run only; the parts' `fetched` and `finished` are read while
// their threads still write them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "download/DownloadPartNode.h"
#include "download/StopSignal.h"
#include "utils/FileHandle.h"

class PartJoin {
public:
    // Join errors, reported like part statuses: a part file that cannot be opened (the status of
    // an unopenable part file), and a joined file that cannot be written or renamed.
    static constexpr int kOpenFailed = DownloadPartNode::kStatusOpenFailed;
    static constexpr int kFailed = -3;

    PartJoin(const std::vector<std::unique_ptr<DownloadPartNode>>& parts, Download::StopSignal& stop);

    // Waits for part 0's thread; when part 0 is complete and part 1 still arrives, copies part 1
    // behind it as it grows, until part 1's thread ends. Returns 0 or a join error.
    int CopyWhileArriving();
    // After every part is complete: copies what is left, sets the size and renames part file 0
    // to `target`. Returns 0 or a join error.
    int Finish(const std::string& target);
    // A run that ends without its target: part file 0 is cut back to exactly part 0, so that a
    // restart finds it complete (or, when that fails, it is removed).
    void Abandon();

private:
    const std::vector<std::unique_ptr<DownloadPartNode>>& parts_;
    Download::StopSignal& stop_;
    Utils::FileHandle first_;  // part file 0 while it grows into the whole file
    int64_t copied_ = 0;       // bytes of part 1 already behind part 0
};
