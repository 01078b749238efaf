// The tables of the chart-file search: which names count as charts and user files, which paths
// belong to other software, and which files travel with a chart.
#pragma once

#include <cstddef>

#include "base/text.h"

namespace search {

// Searched in every folder, in this order. The first four are the chart files themselves (the
// older sibling program's and the application's); the rest are the application's other user
// files, searched only when the user asks for them.
inline const base::StringList SearchChartMasks = {
    "*.omb", "*.cht", "*.om2", "*.HVcht", "*.pag", "*.ast", "*.asp", "*.arp", "*.cas", "*.cpt",
    "*.csg", "*.di1", "*.di2", "*.di3",   "*.di4", "*.etp", "*.epp", "*.fil", "*.fst", "*.plc",
    "*.pte", "*.pts", "*.hvm", "*.smc",   "*.trp", "*.tsk", "*.wh1", "*.wh2", "*.wh3", "*.wh4",
    "*.wh5", "*.alm", "*.ini", "*.sms",   "*.sav", "*.jpg", "*.mnu"};

// How many of SearchChartMasks are chart files proper; the backup always uses just these.
inline constexpr size_t kChartMaskCount = 4;

// Files of other software that happen to match the masks; matched anywhere in the full path,
// without regard to case.
inline const base::StringList ExcludedPathWords = {
    "ATIDRIVE", "CHANNELTABLES", "ATRPUIXX", "ATR9D", "I386\\NOISE.CHT", "SYSTEM32\\NOISE.CHT"};

// A kept file whose path holds one of these is a chart and brings its companions along.
inline const base::StringList ChartExtensionWords = {".OMB", ".CHT", ".OM2", ".HVCHT"};

// Looked for beside each chart, in this order (the last character is the digit zero).
inline const base::StringList CompanionExtensions = {".CHM", ".XN0"};

}  // namespace search
