#pragma once
// Command line of skin-preview.
#include <string>
#include <utility>
#include <vector>

struct PreviewOptions {
    std::string skin;                                  // folder or .zip; empty: built-in
    std::string layout;                                // layout path inside the skin
    std::string out = "preview.png";
    std::vector<std::pair<std::string, int>> select;   // tab layout name, page index
    std::vector<std::pair<std::string, std::string>> set;  // control name, attribute list
    std::vector<std::string> hot, pushed, disabled, checked;
    std::string focus;
    std::string openCombo;
    std::vector<std::string> fragments;                // shared fonts/styles files in the skin
    std::vector<std::string> texts;                    // text files (Text id/value) in the skin
    std::string language;
    double scale = 1.0;
    bool shadow = false;
    bool listControls = false;
};

// Parses argv; on error returns false with a message in `error`.
bool ParsePreviewOptions(int argc, char** argv, PreviewOptions& options, std::string& error);
const char* PreviewUsage();
