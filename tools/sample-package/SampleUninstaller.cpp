// The sample product's uninstaller, left in the install folder as "uninst.ep". It removes
// what the sample package installed (the files listed in "install.manifest"), and the folder
// when nothing else is left in it, reporting with the uninstall status lines:
//
//   <copy> /S -adminact=true -authorizationact=false -console=show _?=<install folder>
//
// "uninst.mode" in the folder (written by the package's --uninstaller switch) picks the
// behaviour: success (default), fail ("State=Fail", nothing removed), error ("Error=" with
// a UTF-8 text), silent (removes, prints nothing), acp ("Encode=ACP" then a UTF-8 error
// text), split (lines written in pieces), flood (1 MiB of output after "State=Success"), hang
// (one progress line, then nothing and no end).
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/sample-package/SampleIo.h"
#include "tools/sample-package/SampleSystem.h"
#include "tools/sample-package/Shortcuts.h"

namespace fs = std::filesystem;

namespace {

bool g_split = false;

void Say(const std::string& line) {
    const std::string bytes = line + "\n";
    if (!g_split) {
        sample::WriteOut(bytes);
        return;
    }
    const size_t half = bytes.size() / 2;
    sample::WriteOut(bytes.substr(0, half));
    sample::Pause(40);
    sample::WriteOut(bytes.substr(half));
}

std::string ReadMode(const fs::path& folder) {
    std::ifstream in(folder / "uninst.mode");
    std::string mode;
    std::getline(in, mode);
    return mode.empty() ? "success" : mode;
}

// The menu and desktop shortcuts go first: they name files about to be removed.
void RemoveEntries(const std::string& folder) { sample::RemoveShortcuts(folder); }

// Removes the listed files; false when one of them could not be removed.
bool RemoveInstalled(const std::string& folderText) {
    const fs::path folder = sample::PathFromUtf8(folderText);
    std::ifstream in(folder / "install.manifest");
    if (!in) return false;
    RemoveEntries(folderText);
    std::vector<std::string> names;
    for (std::string name; std::getline(in, name);) {
        if (!name.empty() && name.back() == '\r') name.pop_back();
        // Plain names in the folder only: no separator of either system, no way up.
        if (!name.empty() && name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..")
            names.push_back(name);
    }
    in.close();  // the manifest itself is on the list, and Windows removes no open file
    bool ok = true;
    for (const auto& name : names) {
        std::error_code ec;
        fs::remove(folder / sample::PathFromUtf8(name), ec);
        ok = ok && !ec;
    }
    std::error_code ec;
    if (fs::is_empty(folder, ec)) fs::remove(folder, ec);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = sample::Arguments(argc, argv);
    std::string folderText;
    if (!sample::TailAfter(args, "_?=", folderText) || folderText.empty()) {
        Say("Error=no install folder given");
        return 3;
    }
    const fs::path folder = sample::PathFromUtf8(folderText);
    const std::string mode = ReadMode(folder);
    g_split = mode == "split";

    if (mode == "silent") return RemoveInstalled(folderText) ? 0 : 1;
    if (mode == "acp") {
        Say("Encode=ACP");
        Say("Error=卸载出错");
        return 0;
    }
    Say("Encode=UTF8");
    Say("Progress=0.2");
    if (mode == "hang") {
        // Says nothing more and never ends: the installer has to stop it.
        sample::WaitForever();
    }
    if (mode == "fail") {
        Say("State=Fail");
        return 0;
    }
    if (mode == "error") {
        Say("Error=卸载出错：文件被占用");
        return 0;
    }
    if (!RemoveInstalled(folderText)) {
        Say("Error=cannot remove " + folderText);
        return 1;
    }
    Say("Progress=1");
    Say("State=Success");
    if (mode == "flood") {
        const std::string chunk(1023, 'x');
        for (int i = 0; i < 1024; ++i) sample::WriteOut(chunk + "\n");
    }
    return 0;
}
