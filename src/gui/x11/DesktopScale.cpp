#include "DesktopScale.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace VSTGUI {
namespace x11 {

namespace {

// A positive finite number making up the whole of `text` (blanks around it allowed), or 0.
double number(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin) return 0;
    while (*end == ' ' || *end == '\t') ++end;
    return *end == '\0' && std::isfinite(value) && value > 0 ? value : 0;
}

std::string trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

double desktopScale(const char* gdkScale, const char* qtScaleFactor, const std::string& resources) {
    if (gdkScale)
        if (const double v = std::floor(number(gdkScale))) return v;  // GTK reads it as a whole number
    if (qtScaleFactor)
        if (const double v = number(qtScaleFactor)) return v;
    // Lines of "name:value"; the last Xft.dpi wins, as in the database itself.
    double dpi = 0;
    std::istringstream lines(resources);
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = trimmed(line.substr(0, colon));
        if (!name.empty() && (name[0] == '*' || name[0] == '.')) name.erase(0, 1);
        if (name != "Xft.dpi") continue;
        if (const double v = number(line.substr(colon + 1))) dpi = v;
    }
    return dpi > 0 ? dpi / 96 : 1;
}

}  // namespace x11
}  // namespace VSTGUI
