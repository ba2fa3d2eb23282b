#include "ui/program.h"

#include "platform/system.h"
#include "tray/modsystray.h"
#include "ui/filesplace.h"
#include "ui/form1.h"

#include <memory>

namespace ui {

int RunProgram(platform::WindowSystem& system) {
    const FilesPlace files =
        PlaceFiles(platform::FactsOf(platform::ApplicationFolder()), platform::UserFolder());
    const platform::Claimed claimed =
        platform::ClaimFolder(system.Instance(files.instanceKey), files.instanceKey);
    if (!claimed.problem.empty())
        platform::ReportProblem(claimed.problem);
    if (const auto status = platform::ExitStatusAtStart(claimed.claim))
        return *status;

    const platform::SystemTickCounter ticks;
    const platform::SystemClock clock;
    platform::Window& window = system.MakeWindow();
    modSysTray tray(system.Shell());
    Form1 form({window, ticks, clock,
                [] { return std::make_unique<platform::SystemFileService>(); }, files,
                platform::ReportProblem, tray});
    if (!form.Created()) {
        platform::ReportProblem("Tallimer did not start: the window system refused its window.");
        return 1;
    }
    system.Connect(form);
    form.Start();
    system.Listen([&form] { form.AnotherStart(); });
    return system.Run();
}

} // namespace ui
