// SPDX-License-Identifier: MIT
#include "MergeMarkers.h"

#include <cstddef>

namespace lumo_cli {

namespace {

std::string Marker(char c, int nSize, std::string_view side, std::string_view label)
{
    std::string line(static_cast<std::size_t>(nSize), c);
    if (!side.empty()) {
        line += ' ';
        line += side;
    }
    if (!label.empty()) {
        line += ':';
        for (const char ch : label)
            line += static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F ? '?' : ch;
    }
    return line;
}

// The length of the run of c at the start of line, when the run is followed
// by the end of the line or (unless bAlone) a blank; 0 otherwise.
std::size_t MarkerRun(std::string_view line, char c, bool bAlone)
{
    std::size_t n = 0;
    while (n < line.size() && line[n] == c)
        ++n;
    if (n == line.size())
        return n;
    if (!bAlone && (line[n] == ' ' || line[n] == '\t'))
        return n;
    return 0;
}

}  // namespace

std::string ConflictText(std::string_view ours, std::string_view base, std::string_view theirs, bool bHasBase,
                         int nMarkerSize, std::string_view label)
{
    std::string text = Marker('<', nMarkerSize, "ours", label);
    text += '\n';
    text += ours;
    if (bHasBase) {
        text += '\n';
        text += Marker('|', nMarkerSize, "base", label);
        text += '\n';
        text += base;
    }
    text += '\n';
    text += Marker('=', nMarkerSize, "", "");
    text += '\n';
    text += theirs;
    text += '\n';
    text += Marker('>', nMarkerSize, "theirs", label);
    return text;
}

bool HoldsConflictMarkers(std::string_view text)
{
    constexpr std::size_t kMinimum = kDefaultMarkerSize;
    enum { seekOpen, seekSeparator, seekClose } state = seekOpen;
    std::size_t nSize = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;

        // A new opening marker before the separator starts the conflict afresh.
        if (state != seekClose) {
            if (const std::size_t n = MarkerRun(line, '<', false); n >= kMinimum) {
                state = seekSeparator;
                nSize = n;
                continue;
            }
        }
        if (state == seekSeparator && MarkerRun(line, '=', true) == nSize)
            state = seekClose;
        else if (state == seekClose && MarkerRun(line, '>', false) == nSize)
            return true;
        if (end == text.size())
            break;
    }
    return false;
}

}  // namespace lumo_cli
