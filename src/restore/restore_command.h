// The Restore command: a chart archive in the source folder is extracted into the application's
// chart folder (and its user-data archive by category); without one, the chart files found below
// the source are copied into the application's user-data folder. Before anything is written it
// tells what it will do and asks. It runs with or without a window: all it shows and asks goes
// through the tools.
#pragma once

#include <optional>
#include <string>

#include "base/text.h"
#include "command/command_tools.h"
#include "locations/locations.h"

namespace restore {

class RestorePlan;

struct RestoreRequest {
  std::string source;            // the folder holding the backup, or the loose chart files
  std::string destination;       // where the charts go when not automatic
  bool auto_destination = true;  // the charts go into the application's own folders
  bool user_data = true;         // "RUDadoze.zev" is restored too
};

// The lists are the folders the search for loose chart files went through and the files it
// found; or, for an archive, the patterns handed to the archive component last.
struct RestoreResult : command::Result {
  // The folder the destination box shows after the run, when the run chose it.
  std::optional<std::string> destination;
};

class RestoreCommand {
 public:
  // found is the application's locations; a restore that points the application's settings at
  // its chart folder takes the new chart folder into it.
  RestoreCommand(const command::Tools& tools, locations::Locations& found);
  RestoreCommand(const RestoreCommand&) = delete;
  RestoreCommand& operator=(const RestoreCommand&) = delete;

  RestoreResult Run(const RestoreRequest& request);

 private:
  command::Outcome FromArchive(const std::string& archive);
  command::Outcome LooseFiles();
  // Extracts the members of the open archive that match one of patterns into the component's
  // ExtrBaseDir; the patterns are the run's list of files afterwards.
  void ExtractMatching(const base::StringList& patterns);
  // Extracts the component's FileSpecs (all when empty) into its ExtrBaseDir, without the stored
  // folders when flat, and names in the run's report each file that was not written, but for
  // those kept on purpose (the file there is as new or newer).
  void ExtractReported(bool flat);
  // The user-data step after a chart archive: restores "RUDadoze.zev" from the source folder by
  // category, or onto the drive its comment names. False when there is no such archive (the user
  // has been told, and the command ends).
  bool RestoreUserData();
  void RestoreByCategory();
  void RestoreOntoCommentDrive();
  // The members the older layout may write below root; *refused counts the others.
  base::StringList MembersToRestore(const std::string& root, int* refused) const;
  // Counts into plan what the user-data step would write, from "RUDadoze.zev" in the source
  // folder (or notes that there is none); the component is left on that archive.
  void PlanUserData(RestorePlan* plan);
  // The archive's path and its comment, as the question names its source.
  std::string ArchiveSource(const std::string& archive) const;
  // Shows the plan's question; on No the status line says so and the command ends.
  bool AskBeforeRestore(const RestorePlan& plan);
  // The run has ended: the status line and the bar say so, and what it left out is told.
  command::Outcome Finished();

  const command::Tools& tools_;
  locations::Locations& found_;
  RestoreRequest request_;
  RestoreResult result_;
};

}  // namespace restore
