// SPDX-License-Identifier: GPL-3.0-or-later
// Where the help pages are, the addresses of the Help menu, and the warning
// shown when the help page cannot be shown.
#pragma once

#include <functional>
#include <string>

namespace byteloom {

// The folder with the help pages ("/"-terminated): "help/" beside the
// program (a build tree), else "../share/byteloom/help/" from the program's
// folder (an installed program). When neither holds "hex.htm", the first.
// programDir ends with "/".
std::string HelpFolder(const std::string& programDir, const std::function<bool(const std::string&)>& fileExists);

// The start page's name in the help folder.
inline constexpr const char* kHelpStartPage = "hex.htm";
inline constexpr const char* kHomepage = "http://www.velmora-soft.example/byteloom";
inline constexpr const char* kAuthorMail = "byteloom@velmora-soft.example";

// "mailto:" link with the subject "Byteloom" and a greeting as body.
std::string MailLink();
// The warning when no program could show the help page from folder.
std::string HelpWarning(const std::string& folder);

}  // namespace byteloom
