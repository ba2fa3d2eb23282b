#include "ui/filesplace.h"

#include "platform/files.h"
#include "ui/mainwindowstate.h"

namespace ui {

FilesPlace PlaceFiles(const platform::FolderFacts& program, const std::string& userFolder) {
    const std::string own = WithTrailingSeparator(program.folder, platform::PathSeparator);
    if (!program.installed && program.writable)
        return {own, "", program.folder, ""};
    const std::string defaults = own + "Settings.ini";
    if (!userFolder.empty() && platform::MakeFolders(userFolder))
        return {WithTrailingSeparator(userFolder, platform::PathSeparator), defaults, userFolder,
                ""};
    const std::string why = userFolder.empty()
                                ? "this user has no folder of its own for them"
                                : "the folder for them, " + userFolder + ", cannot be made";
    return {"", defaults, userFolder.empty() ? program.folder : userFolder,
            "Tallimer keeps no Settings.ini or uptime.txt: it does not write beside itself in " +
                program.folder + ", and " + why + ". It runs, and saves no options."};
}

} // namespace ui
