#include "analytics/tracker/source/src/TrackLogger.h"

namespace varnel::tracking {

TrackLogger::~TrackLogger() = default;

}  // namespace varnel::tracking
