// The tables of the Restore command: the chart patterns, the categories of the user files, and the
// extraction modes it runs with.
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"
#include "zip/zip_options.h"

namespace restore {

// Update and freshen: an existing file is replaced only by a newer member, without a prompt.
inline constexpr uint8_t kUpdateOptions = zip::kExtrUpdate | zip::kExtrFreshen;
// The same, with the stored folders recreated below the target folder.
inline constexpr uint8_t kUpdateWithFoldersOptions = kUpdateOptions | zip::kExtrRecreateFolders;
static_assert(kUpdateOptions == 0x03 && kUpdateWithFoldersOptions == 0x13);

// The members a chart restore takes. The backup writes its second companion file as ".XN0", which
// no other pattern names: the last entry brings those back too.
inline const base::StringList ChartPatterns = {"*.cht", "*.chm",   "*.omb", "*.xno",
                                               "*.om2", "*.hvcht", "*.xn0"};

struct UserDataCategory {
  const char* folder;
  base::StringList patterns;
};

// One extraction per category, in this order. A member matching several rows lands in each of
// their folders; one matching none stays in the archive.
inline const std::vector<UserDataCategory> UserDataCategories = {
    {"Charts", ChartPatterns},
    {"Almutens & Dignities", {"*.alm"}},
    {"Aspects", {"*.asp"}},
    {"Interpretations", {"*.int"}},
    {"Maps", {"*.pnt", "*.hvm", "*.smc", "*.ndx"}},
    {"Pages", {"*pages.ini", "*.pag", "*.jpg"}},
    {"Points & Colors",
     {"*.pte", "*.pts", "*.trp", "*.prp", "*.fst", "*col*.ini", "*.fil", "*.dat", "*.ast", "*.arp",
      "*.adp", "*.cas", "*.cpt", "*.csg", "*.erp", "*.etp", "*.epp"}},
    {"Settings",
     {"*.fil", "*halvane7.ini", "*halvane8.ini", "*halvane9.ini", "*hvsettings.ini", "*hv_ver.ini",
      "*ethvuser.ini", "*ethvlink.ini", "*etascii.ini", "*birthday.ini", "*.sms", "*.sav",
      "*.mnu"}},
    {"Tasks", {"*.tsk"}},
    {"Wheels & Dials", {"*.di*", "*.wh*"}},
    {"Places", {"*.plc", "*.fil", "*.lst", "*country.ini", "*state.ini", "*.bin", "*.ndx"}},
};

}  // namespace restore
