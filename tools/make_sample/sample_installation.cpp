#include "sample_installation.h"

#include <random>

#include "base/text.h"

namespace sample {
namespace {

// Files of the user-files folder, by category folder. Each name is unique in the whole tree, and
// each lies in the folder a restore routes its extension to.
struct CategoryFiles {
  const char* folder;
  std::vector<const char*> names;
};

const std::vector<CategoryFiles>& UserFiles() {
  static const std::vector<CategoryFiles> files = {
      {"Almutens & Dignities", {"Traditional.alm", "Modern.alm"}},
      {"Aspects", {"Major.asp", "Harmonics.asp"}},
      {"Interpretations", {"Natal.int", "Transits.int", "Synastry.int"}},
      {"Maps", {"World.pnt", "Europe.hvm", "Asia.smc", "Atlas.ndx"}},
      {"Pages", {"Standardpages.ini", "Biwheel.pag", "Cover.jpg"}},
      {"Points & Colors",
       {"Default.pte", "Asteroids.pts", "Transits.trp", "Progressed.prp", "Fixed.fst",
        "WheelColors.ini", "Points.fil", "Extra.dat", "Centaurs.ast", "Arabic.arp", "Adjusted.adp",
        "Cusps.cas", "Midpoints.cpt", "Signs.csg", "Eclipses.etp", "Epochs.epp"}},
      {"Settings",
       {"Options.fil", "Hvsettings.ini", "Hv_ver.ini", "Ethvuser.ini", "Ethvlink.ini",
        "Etascii.ini", "Birthday.ini", "Layout.sms", "Session.sav", "Main.mnu"}},
      {"Tasks", {"Daily.tsk", "Returns.tsk"}},
      {"Wheels & Dials", {"Natal.di1", "Harmonic.di12", "Bi.wh2", "Tri.wh5"}},
      {"Places", {"Home.plc", "Cities.fil", "Towns.lst", "Country.ini", "State.ini", "Atlas.bin"}},
  };
  return files;
}

// Folders below the chart folder that hold charts; "" is the chart folder itself.
const std::vector<const char*> kChartFolders = {
    "",       "Family",     "Clients\\2019", "Clients\\2020",     "Clients\\2021\\Spring",
    "Events", "Old Ombrel", "Research",      "Research\\Mundane", "Research\\Mundane\\Eclipses",
};

const std::vector<const char*> kGivenNames = {"Ada",    "Bruno", "Clara", "Dmitri", "Elif",
                                              "Farid",  "Greta", "Hugo",  "Ines",   "Jonas",
                                              "Kamala", "Luca",  "Mei",   "Nils",   "Oona"};
const std::vector<const char*> kFamilyNames = {"Moreau",  "Okafor", "Lindqvist", "Tanaka",
                                               "Rossi",   "Novak",  "Haddad",    "Silva",
                                               "Brennan", "Kowal",  "Ferreira",  "Abe"};

class Maker {
 public:
  explicit Maker(uint32_t seed) : random_(seed) {}

  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

  // A last-write time between 2012 and 2024, on an even second as DOS times are.
  int32_t Age() {
    const uint32_t year = 2012 + Pick(13), month = 1 + Pick(12), day = 1 + Pick(28);
    const uint32_t hour = Pick(24), minute = Pick(60), second = Pick(30);
    return static_cast<int32_t>((((year - 1980) << 9 | month << 5 | day) << 16) |
                                (hour << 11 | minute << 5 | second));
  }

  // Text that differs per file and does not pack to nothing.
  std::string Body(const std::string& name, int lines) {
    std::string body = "; " + name + "\r\n";
    for (int i = 0; i < lines; ++i) {
      body += "Value" + std::to_string(i) + "=" + std::to_string(random_() % 100000) + "," +
              std::to_string(Pick(360)) + "\r\n";
    }
    return body;
  }

  void Add(std::vector<SampleFile>& files, const std::string& path, std::string contents) {
    files.push_back({path, std::move(contents), Age()});
  }

 private:
  std::mt19937 random_;
};

}  // namespace

std::string UserFilesFolder(const SampleOptions& options) {
  return base::AddBackslash(options.documents_folder) + "Halvane User Files\\";
}

std::string ChartFolder(const SampleOptions& options) {
  return UserFilesFolder(options) + "Charts\\";
}

std::vector<SampleFile> MakeSampleInstallation(const SampleOptions& options) {
  Maker maker(options.seed);
  std::vector<SampleFile> files;
  const std::string user_files = UserFilesFolder(options);
  const std::string system_data = base::AddBackslash(options.system_data_folder);

  maker.Add(files, base::AddBackslash(options.windows_folder) + "Halvane9.INI",
            "[Halvane]\r\nSystemDataPath=" + options.system_data_folder + "\r\nVersion=9.0\r\n");
  maker.Add(files, user_files + "Settings\\Halvane9.INI",
            "[Halvane]\r\nChartDataPath=" + ChartFolder(options) +
                "\r\nWheelStyle=2\r\n\r\n[ChartsMRU]\r\nFile1=" + ChartFolder(options) +
                "Family\\Ada Moreau 001.HVcht\r\n");
  maker.Add(files, system_data + "dynsetup.fil", maker.Body("dynsetup", 40));
  maker.Add(files, system_data + "COLSCHEM.INI", maker.Body("colour schemes", 25));

  for (const CategoryFiles& category : UserFiles()) {
    for (const char* name : category.names) {
      maker.Add(files, user_files + category.folder + "\\" + name,
                maker.Body(name, 5 + maker.Pick(60)));
    }
  }

  // Charts: mostly this version's own, some of the older kinds, a third with companions.
  for (int i = 1; i <= options.chart_count; ++i) {
    const std::string folder = kChartFolders[maker.Pick(static_cast<int>(kChartFolders.size()))];
    const bool ombrel = folder == "Old Ombrel";
    const char* extension =
        ombrel ? (maker.Pick(2) ? ".omb" : ".om2") : (maker.Pick(4) == 0 ? ".cht" : ".HVcht");
    std::string number = std::to_string(i);
    number.insert(0, 3 - std::min<size_t>(3, number.size()), '0');
    const std::string base = ChartFolder(options) + (folder[0] ? folder + std::string("\\") : "") +
                             kGivenNames[maker.Pick(static_cast<int>(kGivenNames.size()))] + " " +
                             kFamilyNames[maker.Pick(static_cast<int>(kFamilyNames.size()))] + " " +
                             number;
    maker.Add(files, base + extension, maker.Body("chart " + number, 20 + maker.Pick(40)));
    if (!ombrel && maker.Pick(3) == 0) {
      maker.Add(files, base + ".CHM", maker.Body("chart notes " + number, 10));
      if (maker.Pick(2) == 0) maker.Add(files, base + ".XN0", maker.Body("extra " + number, 8));
    }
  }
  return files;
}

}  // namespace sample
