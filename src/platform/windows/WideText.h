// UTF-8 (our code) to and from UTF-16 (the Windows calls), strictly: text that is not valid
// in its encoding is refused rather than turned into replacement characters, so a bad path
// can never become the name of another file.
#pragma once

#include <optional>
#include <string>

namespace platform {

std::optional<std::wstring> toWide(const std::string& utf8);
std::optional<std::string> toUtf8(const std::wstring& wide);
// Where text that is not valid may as well be none (titles, messages, the clipboard, a
// dialog's starting folder): the empty text then.
inline std::wstring toWideOrEmpty(const std::string& utf8) { return toWide(utf8).value_or(std::wstring()); }

// A path for the wide-character file calls: a fully qualified path longer than the classic
// 260-character limit gets the \\?\ prefix (with its separators made backslashes), so it is
// opened whole instead of failing or being cut.
std::optional<std::wstring> toWidePath(const std::string& utf8);

}  // namespace platform
