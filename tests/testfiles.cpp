#include "testfiles.h"

#include <QProcess>

namespace {

bool Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

ReadOnlyFolder::ReadOnlyFolder(const QString& path) : path_(path) {
    if (!Run(QStringLiteral("mount"), {QStringLiteral("--bind"), path, path}))
        return;
    mounted_ = true;
    if (!Run(QStringLiteral("mount"),
             {QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), path})) {
        Run(QStringLiteral("umount"), {path});
        mounted_ = false;
    }
}

ReadOnlyFolder::~ReadOnlyFolder() {
    if (mounted_)
        Run(QStringLiteral("umount"), {path_});
}
