#pragma once
// What the child-run tests need of the system to watch processes they did not start
// themselves (a package's own children), one source file per platform.
namespace childtest {

// True when process `id` has ended within `ms` milliseconds (or never existed).
bool EndsWithin(long long id, int ms);
// Ends process `id` at once, as a user killing it outright would.
void Kill(long long id);
// Sets (or, with nullptr, removes) an environment variable that children started later inherit.
void SetEnv(const char* name, const char* value);

}  // namespace childtest
