// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/helppages.h"

#include <filesystem>

namespace byteloom {

std::string HelpFolder(const std::string& programDir, const std::function<bool(const std::string&)>& fileExists) {
  const std::string beside = programDir + "help/";
  const std::string installed = programDir + "../share/byteloom/help/";
  for (const std::string& folder : {beside, installed})
    if (fileExists(folder + kHelpStartPage)) return std::filesystem::path(folder).lexically_normal().string();
  return beside;
}

std::string MailLink() {
  return std::string("mailto:") + kAuthorMail + "?subject=Byteloom&body=Hello%20Byteloom%20team%2C%20";
}

std::string HelpWarning(const std::string& folder) {
  return "You can only view the Help-File with an installed Browser.\r\nBrowser not available or \r\n"
         "Helpfile not found in current dir: " +
         folder + " !";
}

}  // namespace byteloom
