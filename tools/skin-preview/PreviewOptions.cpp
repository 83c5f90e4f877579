#include "PreviewOptions.h"

#include <cstdlib>
#include <cstring>

const char* PreviewUsage() {
    return "usage: skin-preview [--skin DIR|FILE.zip] --layout NAME.xml [--out FILE.png]\n"
           "  --skin DIR|FILE.zip    skin to read (default: the installer's built-in package)\n"
           "  --select TAB=INDEX     show page INDEX of the tab layout named TAB (repeatable)\n"
           "  --hot NAME             draw control NAME hot (repeatable; also --pushed, --disabled)\n"
           "  --checked NAME         tick check box NAME\n"
           "  --focus NAME           give NAME the keyboard focus, ring shown\n"
           "  --set NAME='attr=\"v\"'  apply an attribute list to control NAME\n"
           "  --open-combo NAME      draw the drop-down list of combo NAME as it opens\n"
           "  --fonts PATH           load shared fonts/styles from a skin file (repeatable)\n"
           "  --texts PATH           load Text id/value entries for resourcetext controls\n"
           "  --lang LOCALE          language to show (en-US, zh-TW; default en-US)\n"
           "  --scale N              device scale factor (2 for high density)\n"
           "  --shadow               draw the drop shadow margin\n"
           "  --list                 print the control tree\n";
}

namespace {

// The whole text as a number; strtod alone takes "2x" as 2 and "nan" as a number.
bool WholeNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

}  // namespace

bool ParsePreviewOptions(int argc, char** argv, PreviewOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "missing value after " + a;
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--shadow") o.shadow = true;
        else if (a == "--list") o.listControls = true;
        else if (a == "--skin") { if (!value(o.skin)) return false; }
        else if (a == "--layout") { if (!value(o.layout)) return false; }
        else if (a == "--out") { if (!value(o.out)) return false; }
        else if (a == "--focus") { if (!value(o.focus)) return false; }
        else if (a == "--open-combo") { if (!value(o.openCombo)) return false; }
        else if (a == "--lang") { if (!value(o.language)) return false; }
        else if (a == "--hot") { if (!value(v)) return false; o.hot.push_back(v); }
        else if (a == "--pushed") { if (!value(v)) return false; o.pushed.push_back(v); }
        else if (a == "--disabled") { if (!value(v)) return false; o.disabled.push_back(v); }
        else if (a == "--checked") { if (!value(v)) return false; o.checked.push_back(v); }
        else if (a == "--fonts") { if (!value(v)) return false; o.fragments.push_back(v); }
        else if (a == "--texts") { if (!value(v)) return false; o.texts.push_back(v); }
        else if (a == "--scale") {
            if (!value(v)) return false;
            // Written so that NaN fails too: the canvas size is computed from it.
            if (!WholeNumber(v, o.scale) || !(o.scale > 0 && o.scale <= 8)) { error = "bad --scale"; return false; }
        } else if (a == "--select" || a == "--set") {
            if (!value(v)) return false;
            const size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) { error = a + " needs NAME=VALUE"; return false; }
            if (a == "--select") {
                double index = -1;
                if (!WholeNumber(v.substr(eq + 1), index) || !(index >= 0 && index <= 1000) || index != static_cast<int>(index)) {
                    error = "--select needs a page number";
                    return false;
                }
                o.select.emplace_back(v.substr(0, eq), static_cast<int>(index));
            } else {
                o.set.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            }
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (o.layout.empty()) {
        error = "--layout is required";
        return false;
    }
    return true;
}
