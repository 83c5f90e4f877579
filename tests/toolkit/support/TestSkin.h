#pragma once
// A small skin for the toolkit's tests, tools and benchmarks: the layouts kept under
// tests/toolkit/data/skin plus images drawn here with cairo, written to a folder or packed
// into an in-memory zip.
#include <cstdint>
#include <string>
#include <vector>

namespace TestSkin {

// Writes layouts and images into `folder` (created). False on any write failure.
bool WriteFolder(const std::string& folder);
// The same files as a zip archive (deflated), for SkinResources::OpenZipCopy.
std::vector<std::uint8_t> MakeZip(const std::string& folder);
// A folder name under the temporary root that no other test process uses at the same time.
std::string PrivateFolder(const std::string& tag);
// The folder holding the layout sources (set at build time).
std::string DataFolder();

}  // namespace TestSkin
