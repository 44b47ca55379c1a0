#pragma once

// Operations on a PATH list: entries separated by ';'. An entry matches a folder when, with its
// leading and trailing blanks (0x20 only) removed, it is non-empty and equals the folder with
// ASCII letters compared case-insensitively. Nothing else is normalised. Pure: no <windows.h>.

#include <string>

// True when some entry of `list` matches `folder`.
[[nodiscard]] bool PathListContains(const std::string& list, const std::string& folder);

// `list` with `folder` added at the end, after a ';' unless the list is empty or already ends in
// one.
[[nodiscard]] std::string PathListAppend(const std::string& list, const std::string& folder);

// `list` without the entries that match `folder` and without empty or blank-only entries; the
// others keep their order and their exact text.
[[nodiscard]] std::string PathListRemove(const std::string& list, const std::string& folder);
