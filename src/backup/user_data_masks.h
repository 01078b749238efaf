// The application's user files, as masks below its user-data folder. They overlap ("*.ad*" also
// covers "*.adp") and are handed to the archive library as they stand.
#pragma once

#include "base/text.h"

namespace backup {

inline const base::StringList UserDataMasks = {
    "*.pt*", "*.as*", "*.xn*", "*.pl*", "*.pa*", "*.wh*", "*.fil", "*.ini", "*.fs*",
    "*.tr*", "*.ad*", "*.hv*", "*.di*", "*.mnu", "*.etp", "*.epp", "*.hvm", "*.sm*",
    "*.tsk", "*.alm", "*.sav", "*.jpg", "*.dat", "*.arp", "*.adp", "*.cas", "*.pnt",
    "*.prp", "*.lst", "*.bin", "*.ndx", "*.cpt", "*.csg"};

}  // namespace backup
